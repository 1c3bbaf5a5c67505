#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Errors.h"

// How the meter shows a loss: as negative dB (a loss of 0.41 dB reads -0.41) or positive.
enum class TLossSign { Negative, Positive };

// How the technician set the power reference: with one test cord both end connections of
// the link are in the measurement, with two one of them is in the reference, with three
// neither is measured.
enum class TReferenceMethod { OneJumper, TwoJumper, ThreeJumper };

// "1-jumper", "2-jumper", "3-jumper".
const char* ReferenceMethodName(TReferenceMethod method);
// None for any other text.
std::optional<TReferenceMethod> FindReferenceMethod(std::string_view name);

// How the two directions of a fibre make one verdict: the worse direction's (FAIL, then CHECK,
// then PASS), or the verdict of their average loss, CHECK when either direction is.
enum class TPairRule { Worst, Average };

// "worst", "average".
const char* PairRuleName(TPairRule rule);
// None for any other text.
std::optional<TPairRule> FindPairRule(std::string_view name);

// Wavelength in nm to a figure.
using TWavelengthTable = std::map<int, double>;

// One link of a budget: the cable it covers ("*" for every cable no other link names), its
// length and how many connector pairs (the two at its ends included) and splices it holds.
// A link of a fibre type other than the budget's names its own preset and attenuations.
struct TLinkBudget {
    std::string Cable;
    double LengthM = 0;
    int Connectors = 0;
    int Splices = 0;
    std::string Preset = {};                   // empty: the budget's
    TWavelengthTable AttenuationDbPerKm = {};  // over the link's or the budget's preset

    bool operator==(const TLinkBudget&) const = default;
};

// The allowed power of an absolute reading at one wavelength; either bound may be absent.
struct TPowerWindow {
    std::optional<double> Min;
    std::optional<double> Max;

    bool operator==(const TPowerWindow&) const = default;
};

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
    std::optional<TReferenceMethod> ReferenceMethod;
    std::optional<double> EndConnectorDb;  // each measured end connection
    std::string Launch;                    // how the light was launched, for the reports
    std::vector<TLinkBudget> Links;
    TWavelengthTable MaxLossDb;
    std::map<int, TPowerWindow> PowerDbm;
    std::optional<TPairRule> PairRule;  // absent: Worst

    bool operator==(const TBudget&) const = default;
};

// A named set of attenuations and connector and splice losses (TIA-568 and ISO/IEC 11801-1
// maxima).
struct TBudgetPreset {
    std::string Name;         // "tia-568-sm-isp"
    std::string Description;  // "TIA-568 single-mode, inside plant"
    TWavelengthTable AttenuationDbPerKm;
    double ConnectorDb = 0;
    double SpliceDb = 0;
};

// tia-568-mm, tia-568-sm-isp, tia-568-sm-osp, iso-11801-om3, iso-11801-om4,
// iso-11801-om5, iso-11801-os1a, iso-11801-os2, in that order.
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
TReferenceMethod EffectiveReferenceMethod(const TBudget& budget);
TPairRule EffectivePairRule(const TBudget& budget);
// end_connector_db, else the connector figure in force.
double EffectiveEndConnectorDb(const TBudget& budget);

// How many of a link's connectors are measured end connections: min(connectors, 2) for the
// 1-jumper method, min(connectors, 1) for the 2-jumper one, none for the 3-jumper one.
int MeasuredEndConnections(TReferenceMethod method, int connectors);

// The connectors' and splices' part of a link's limit:
// e × end figure + max(connectors - 2, 0) × connector figure + splices × splice figure,
// e the measured end connections: an end connection inside the reference allows nothing.
double LinkFixedDb(const TBudget& budget, const TLinkBudget& link);
// The attenuations a link is judged with: its preset's (else the budget's effective ones),
// overridden by its own.
TWavelengthTable LinkAttenuation(const TBudget& budget, const TLinkBudget& link);

// "Reference: 2-jumper; end connection: 0.5 dB; launch: encircled flux" (UTF-8), for the
// reports; the launch part only when the budget names one.
std::string BudgetMethodText(const TBudget& budget);

// Every wavelength key of the budget's tables, its presets' and its links' own, ascending.
std::vector<int> BudgetWavelengths(const TBudget& budget);
// The key nearest to waveLength within 20 nm (a tie goes to the shorter); none when no key is
// that near or waveLength is no number. keys ascend.
std::optional<int> NearestWavelength(const std::vector<int>& keys, double waveLength);

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
