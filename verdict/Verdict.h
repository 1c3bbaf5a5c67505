#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "verdict/Budget.h"

enum class TVerdictKind : std::uint8_t { None, Pass, Fail, Check };

// A record judged against a budget. A relative record has its loss, and its limit and margin
// when the budget gives a limit; an absolute record has a margin (the distance to the nearer
// bound of its power window, negative outside) when the budget gives a window. Kind is None
// where there is nothing to judge by.
struct TVerdict {
    TVerdictKind Kind = TVerdictKind::None;
    std::optional<double> Loss;
    std::optional<double> Limit;
    std::optional<double> Margin;

    bool operator==(const TVerdict&) const = default;
};

// "PASS", "FAIL", "CHECK"; "" for None.
const char* VerdictText(TVerdictKind kind);

// Two decimals, "." as the decimal separator, "-" only where the rounded figure is not
// zero: 0.35, -1.95, 2.30.
std::string TwoDecimals(double value);

// Judges records against one budget; built once, it judges a million records in well under
// the time it takes to show them. Figures are computed on the records' doubles.
class TVerdictJudge {
public:
    explicit TVerdictJudge(const TBudget& budget);

    TVerdict Judge(const TMeranie& record) const;

private:
    struct TLinkLimit {
        double LengthKm = 0;
        double FixedDb = 0;  // connectors and splices
    };
    // The cable's link, else the "*" link, else nullptr.
    const TLinkLimit* LinkFor(const std::string& cable) const;
    // The key of table nearest to waveLength, within 20 nm; nullptr when none is.
    template <typename Table>
    static const typename Table::mapped_type* Nearest(const Table& table, double waveLength);

    TLossSign lossSign_;
    double gainToleranceDb_;
    TWavelengthTable attenuation_;
    TWavelengthTable maxLoss_;
    std::map<int, TPowerWindow> power_;
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

    std::size_t Judged() const noexcept { return Pass + Fail + Check; }
    bool operator==(const TVerdictCounts&) const = default;
};

TVerdictCounts CountVerdicts(const std::vector<TVerdict>& verdicts);

// "24 relative: 20 pass, 3 fail, 1 check", what being "relative" or "absolute", counting the
// judged ones; the kinds with no verdict are left out ("5 absolute: 5 pass").
std::string VerdictSummary(const TVerdictCounts& counts, std::string_view what);
