#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "verdict/Budget.h"

enum class TVerdictKind : std::uint8_t { None, Pass, Fail, Check };

// A figure a verdict may lack. It reads like std::optional<double> but keeps "none" as a NaN,
// so that a verdict takes 32 bytes rather than 56 and a million of them are made quickly.
// Figures are computed from finite readings and budgets, so a NaN never means anything else.
class TFigure {
public:
    constexpr TFigure() noexcept = default;
    constexpr TFigure(std::nullopt_t) noexcept {}
    constexpr TFigure(double value) noexcept : value_(value) {}
    constexpr TFigure(const std::optional<double>& value) noexcept
        : value_(value ? *value : std::numeric_limits<double>::quiet_NaN()) {}

    constexpr bool has_value() const noexcept { return value_ == value_; }
    constexpr explicit operator bool() const noexcept { return has_value(); }
    constexpr double operator*() const noexcept { return value_; }
    constexpr operator std::optional<double>() const noexcept {
        return has_value() ? std::optional<double>(value_) : std::nullopt;
    }
    constexpr bool operator==(const TFigure& other) const noexcept {
        return has_value() ? value_ == other.value_ : !other.has_value();
    }

private:
    double value_ = std::numeric_limits<double>::quiet_NaN();
};

// A record judged against a budget. A relative record has its loss, and its limit and margin
// when the budget gives a limit; an absolute record has a margin (the distance to the nearer
// bound of its power window, negative outside) when the budget gives a window. Kind is None
// where there is nothing to judge by.
struct TVerdict {
    TVerdictKind Kind = TVerdictKind::None;
    TFigure Loss;
    TFigure Limit;
    TFigure Margin;

    bool operator==(const TVerdict&) const = default;
};

// "PASS", "FAIL", "CHECK"; "" for None.
const char* VerdictText(TVerdictKind kind);

// Two decimals, "." as the decimal separator, "-" only where the rounded figure is not
// zero, rounded on the figure's decimal value as a workbook rounds it (FixedText): 0.35,
// -1.95, 2.30, 1.82 for 1.815.
std::string TwoDecimals(double value);

// A figure shows the same digits in every output and the window: the texts round with
// FixedText, the workbook's number formats have the same decimals.

// The decimals a limit is shown with: those it needs, two or three (2.60, 1.815).
int LimitDecimals(double limit);
// The decimals a loss is shown with: its limit's (two without one), and more where a loss
// over its limit would read as the limit (1.802 against 1.80), so that a FAIL never stands
// beside a loss that reads as its limit.
int LossDecimals(double loss, const TFigure& limit);
// The decimals a margin is shown with so that its text says what its verdict says: least, or
// as many more as a negative margin needs to show a figure other than zero (-0.001, not 0.00).
int MarginDecimals(double margin, int least = 2);
// The margin with MarginDecimals(margin, least) decimals: 0.35, -0.004.
std::string MarginText(double margin, int least = 2);

// The decimals of a verdict's loss, limit and margin (the margin at least the limit's).
struct TVerdictDecimals {
    int Loss = 2;
    int Limit = 2;
    int Margin = 2;
};
TVerdictDecimals VerdictDecimals(const TVerdict& verdict);

// Judges records against one budget; built once, it judges a million records in well under
// the time it takes to show them. Figures are computed on the records' doubles.
class TVerdictJudge {
public:
    explicit TVerdictJudge(const TBudget& budget);

    TVerdict Judge(const TMeranie& record) const;

private:
    // A wavelength table as a short sorted array: a scan of a few entries beats a tree.
    template <typename Value>
    using TKeyedByWavelength = std::vector<std::pair<int, Value>>;
    struct TLinkLimit {
        double LengthKm = 0;
        double FixedDb = 0;  // connectors and splices
        TKeyedByWavelength<double> Attenuation;
    };
    // The cable's link, else the "*" link, else nullptr.
    const TLinkLimit* LinkFor(const std::string& cable) const;
    // The value of the key nearest to waveLength, within 20 nm; nullptr when none is.
    template <typename Value>
    static const Value* Nearest(const TKeyedByWavelength<Value>& table, double waveLength);

    TLossSign lossSign_;
    double gainToleranceDb_;
    TKeyedByWavelength<double> maxLoss_;
    TKeyedByWavelength<TPowerWindow> power_;
    std::unordered_map<std::string, TLinkLimit> links_;
    std::optional<TLinkLimit> anyCable_;
    // The last cable looked up and its link: a dump holds a cable's fibers one after the
    // other, so most records skip the hashing. A judge is thus for one thread at a time.
    mutable std::string lastCable_;
    mutable const TLinkLimit* lastLink_ = nullptr;
    mutable bool hasLastCable_ = false;
};

// One verdict per record, in order.
std::vector<TVerdict> JudgeRecords(const TBudget& budget, const TMeraniaArray& records);

// The verdicts of the records that belong on page, in their order: one per row of a table
// that FillMeasurementTable filled from the same records.
std::vector<TVerdict> PageVerdicts(const std::vector<TVerdict>& verdicts,
                                   const TMeraniaArray& records, TTablePage page);

struct TVerdictCounts {
    std::size_t Pass = 0;
    std::size_t Fail = 0;
    std::size_t Check = 0;
    std::size_t None = 0;

    void Add(TVerdictKind kind) noexcept {
        switch (kind) {
            case TVerdictKind::Pass:
                ++Pass;
                break;
            case TVerdictKind::Fail:
                ++Fail;
                break;
            case TVerdictKind::Check:
                ++Check;
                break;
            case TVerdictKind::None:
                ++None;
                break;
        }
    }
    std::size_t Judged() const noexcept { return Pass + Fail + Check; }
    bool operator==(const TVerdictCounts&) const = default;
};

TVerdictCounts CountVerdicts(const std::vector<TVerdict>& verdicts);

// "24 relative: 20 pass, 3 fail, 1 check", what being "relative" or "absolute", counting the
// judged ones; the kinds with no verdict are left out ("5 absolute: 5 pass").
std::string VerdictSummary(const TVerdictCounts& counts, std::string_view what);

// One fibre's result across its wavelengths, from its relative readings' verdicts: FAIL if
// any is FAIL, else CHECK if any is CHECK, else PASS; None when none of them was judged.
struct TFibreResult {
    std::string Cable;
    std::string Fiber;
    TVerdictKind Kind = TVerdictKind::None;

    bool operator==(const TFibreResult&) const = default;
};

// Gathers fibre results reading by reading, for callers that hold rows rather than records.
class TFibreResultsBuilder {
public:
    // A reading of the fibre; only relative ones count toward its result.
    void Add(const std::string& cable, const std::string& fiber, const TVerdict& verdict,
             bool relative);
    // In the order of the fibres' first readings.
    std::vector<TFibreResult> Take() { return std::move(results_); }

private:
    std::vector<TFibreResult> results_;
    std::unordered_map<std::string, std::size_t> indexOfFibre_;
};

// One result per fibre (cable and fiber text) with a relative record, in the order of their
// first records; verdicts are one per record.
std::vector<TFibreResult> FibreResults(const TMeraniaArray& records,
                                       const std::vector<TVerdict>& verdicts);

TVerdictCounts CountFibreResults(const std::vector<TFibreResult>& results);

// "3 fibres: 2 pass, 1 fail", "1 fibre: 1 pass": VerdictSummary of the fibres with a result.
std::string FibreSummary(const TVerdictCounts& counts);
