#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Errors.h"

// How the meter shows a loss: as negative dB (a loss of 0.41 dB reads -0.41) or positive.
enum class TLossSign { Negative, Positive };

// One link of a budget: the cable it covers ("*" for every cable no other link names), its
// length and how many connector pairs and splices it holds.
struct TLinkBudget {
    std::string Cable;
    double LengthM = 0;
    int Connectors = 0;
    int Splices = 0;

    bool operator==(const TLinkBudget&) const = default;
};

// The allowed power of an absolute reading at one wavelength; either bound may be absent.
struct TPowerWindow {
    std::optional<double> Min;
    std::optional<double> Max;

    bool operator==(const TPowerWindow&) const = default;
};

// Wavelength in nm to a figure.
using TWavelengthTable = std::map<int, double>;

// A loss budget as its file gives it: what is absent stays absent (a preset or a default
// fills it when records are judged), so that a budget is saved as it was read. Texts are
// UTF-8, as in the file.
struct TBudget {
    std::string Name;
    std::string Preset;  // empty or the name of one of BudgetPresets()
    TLossSign LossSign = TLossSign::Negative;
    std::optional<double> GainToleranceDb;
    TWavelengthTable AttenuationDbPerKm;  // over the preset's, wavelength by wavelength
    std::optional<double> ConnectorDb;    // per connector pair
    std::optional<double> SpliceDb;
    std::vector<TLinkBudget> Links;
    TWavelengthTable MaxLossDb;
    std::map<int, TPowerWindow> PowerDbm;

    bool operator==(const TBudget&) const = default;
};

// A named set of attenuations and connector and splice losses (the TIA-568 maxima).
struct TBudgetPreset {
    std::string Name;         // "tia-568-sm-isp"
    std::string Description;  // "TIA-568 single-mode, inside plant"
    TWavelengthTable AttenuationDbPerKm;
    double ConnectorDb = 0;
    double SpliceDb = 0;
};

// tia-568-mm, tia-568-sm-isp, tia-568-sm-osp, in that order.
const std::vector<TBudgetPreset>& BudgetPresets();
// nullptr when no preset has the name.
const TBudgetPreset* FindBudgetPreset(std::string_view name);

// What judging uses where the budget and its preset say nothing.
inline constexpr double DefaultConnectorDb = 0.75;
inline constexpr double DefaultSpliceDb = 0.3;
inline constexpr double DefaultGainToleranceDb = 0.2;

// The figures records are judged with: the preset's, overridden key by key by the budget's
// own, the defaults above where neither has one.
TWavelengthTable EffectiveAttenuation(const TBudget& budget);
double EffectiveConnectorDb(const TBudget& budget);
double EffectiveSpliceDb(const TBudget& budget);
double EffectiveGainToleranceDb(const TBudget& budget);

// The key of the figure that makes one of the budget's limits too large for a double
// ("connector_db", "links[2].length_m", "links[2]" when only the sum is); empty when every
// limit is a finite number.
std::string InfiniteLimitKey(const TBudget& budget);

// A budget file that cannot be used. what() names the file, the key and the problem, e.g.
// Budget file "riser.json": "links[1].length_m" must not be negative
class EBudgetError : public EFileError {
public:
    using EFileError::EFileError;
};

// Reads a budget from its JSON text; fileName is for the messages. Every key is optional; an
// unknown key, a value of the wrong type, a negative length, count or loss, an unknown
// preset or loss sign, a wavelength key that is no whole number of nm or broken JSON throws
// EBudgetError.
TBudget ParseBudget(std::string_view json, const std::string& fileName);

// Reads the budget file at path. Throws EBudgetError, or EInOutError when it cannot be read.
TBudget ReadBudgetFile(const std::string& path);

// The budget as JSON text that ParseBudget reads back to the same budget; absent keys are left
// out. Ends with a line feed.
std::string BudgetToJson(const TBudget& budget);

// Writes BudgetToJson(budget) to path through the safe replacement. Throws EInOutError.
void WriteBudgetFile(const TBudget& budget, const std::string& path);
