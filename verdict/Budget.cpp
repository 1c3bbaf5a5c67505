#include "verdict/Budget.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "data/NumberText.h"

const std::vector<TBudgetPreset>& BudgetPresets() {
    // Cabled-fibre attenuation maxima of TIA-568 and ISO/IEC 11801-1; 0.75 dB a connector
    // pair, 0.3 dB a splice in both.
    static const std::vector<TBudgetPreset> presets{
        {"tia-568-mm", "TIA-568 multimode", {{850, 3.5}, {1300, 1.5}}, 0.75, 0.3},
        {"tia-568-sm-isp",
         "TIA-568 single-mode, inside plant",
         {{1310, 1.0}, {1550, 1.0}},
         0.75,
         0.3},
        {"tia-568-sm-osp",
         "TIA-568 single-mode, outside plant",
         {{1310, 0.5}, {1550, 0.5}},
         0.75,
         0.3},
        {"iso-11801-om3", "ISO/IEC 11801-1 OM3", {{850, 3.5}, {1300, 1.5}}, 0.75, 0.3},
        {"iso-11801-om4", "ISO/IEC 11801-1 OM4", {{850, 3.5}, {1300, 1.5}}, 0.75, 0.3},
        {"iso-11801-om5", "ISO/IEC 11801-1 OM5", {{850, 3.0}, {953, 2.3}, {1300, 1.5}}, 0.75, 0.3},
        {"iso-11801-os1a",
         "ISO/IEC 11801-1 OS1a",
         {{1310, 1.0}, {1383, 1.0}, {1550, 1.0}},
         0.75,
         0.3},
        {"iso-11801-os2",
         "ISO/IEC 11801-1 OS2",
         {{1310, 0.4}, {1383, 0.4}, {1550, 0.4}},
         0.75,
         0.3},
    };
    return presets;
}

const TBudgetPreset* FindBudgetPreset(std::string_view name) {
    const auto& presets = BudgetPresets();
    const auto found =
        std::find_if(presets.begin(), presets.end(),
                     [&](const TBudgetPreset& preset) { return preset.Name == name; });
    return found == presets.end() ? nullptr : &*found;
}

const char* ReferenceMethodName(TReferenceMethod method) {
    switch (method) {
        case TReferenceMethod::TwoJumper:
            return "2-jumper";
        case TReferenceMethod::ThreeJumper:
            return "3-jumper";
        case TReferenceMethod::OneJumper:
            break;
    }
    return "1-jumper";
}

std::optional<TReferenceMethod> FindReferenceMethod(std::string_view name) {
    for (const TReferenceMethod method : {TReferenceMethod::OneJumper, TReferenceMethod::TwoJumper,
                                          TReferenceMethod::ThreeJumper}) {
        if (name == ReferenceMethodName(method))
            return method;
    }
    return std::nullopt;
}

const char* PairRuleName(TPairRule rule) {
    return rule == TPairRule::Average ? "average" : "worst";
}

std::optional<TPairRule> FindPairRule(std::string_view name) {
    for (const TPairRule rule : {TPairRule::Worst, TPairRule::Average}) {
        if (name == PairRuleName(rule))
            return rule;
    }
    return std::nullopt;
}

TWavelengthTable EffectiveAttenuation(const TBudget& budget) {
    TWavelengthTable table;
    if (const TBudgetPreset* preset = FindBudgetPreset(budget.Preset))
        table = preset->AttenuationDbPerKm;
    for (const auto& [waveLength, attenuation] : budget.AttenuationDbPerKm)
        table[waveLength] = attenuation;
    return table;
}

double EffectiveConnectorDb(const TBudget& budget) {
    if (budget.ConnectorDb)
        return *budget.ConnectorDb;
    const TBudgetPreset* preset = FindBudgetPreset(budget.Preset);
    return preset != nullptr ? preset->ConnectorDb : DefaultConnectorDb;
}

double EffectiveSpliceDb(const TBudget& budget) {
    if (budget.SpliceDb)
        return *budget.SpliceDb;
    const TBudgetPreset* preset = FindBudgetPreset(budget.Preset);
    return preset != nullptr ? preset->SpliceDb : DefaultSpliceDb;
}

double EffectiveGainToleranceDb(const TBudget& budget) {
    return budget.GainToleranceDb.value_or(DefaultGainToleranceDb);
}

TReferenceMethod EffectiveReferenceMethod(const TBudget& budget) {
    return budget.ReferenceMethod.value_or(TReferenceMethod::OneJumper);
}

TPairRule EffectivePairRule(const TBudget& budget) {
    return budget.PairRule.value_or(TPairRule::Worst);
}

double EffectiveEndConnectorDb(const TBudget& budget) {
    return budget.EndConnectorDb.value_or(EffectiveConnectorDb(budget));
}

int MeasuredEndConnections(TReferenceMethod method, int connectors) {
    const int measurable = method == TReferenceMethod::OneJumper   ? 2
                           : method == TReferenceMethod::TwoJumper ? 1
                                                                   : 0;
    return std::clamp(connectors, 0, measurable);
}

double LinkFixedDb(const TBudget& budget, const TLinkBudget& link) {
    const double connectorDb = EffectiveConnectorDb(budget);
    const double endDb = EffectiveEndConnectorDb(budget);
    const double spliceDb = EffectiveSpliceDb(budget);
    const int ends = MeasuredEndConnections(EffectiveReferenceMethod(budget), link.Connectors);
    const int inner = std::max(link.Connectors - 2, 0);
    // Where the end figure is the connector figure the sum is the one every connector at the
    // same figure always gave, to the last bit.
    if (endDb == connectorDb)
        return (ends + inner) * connectorDb + link.Splices * spliceDb;
    return ends * endDb + inner * connectorDb + link.Splices * spliceDb;
}

TWavelengthTable LinkAttenuation(const TBudget& budget, const TLinkBudget& link) {
    const TBudgetPreset* preset = FindBudgetPreset(link.Preset);
    TWavelengthTable table =
        preset != nullptr ? preset->AttenuationDbPerKm : EffectiveAttenuation(budget);
    for (const auto& [waveLength, attenuation] : link.AttenuationDbPerKm)
        table[waveLength] = attenuation;
    return table;
}

std::string BudgetMethodText(const TBudget& budget) {
    std::string text = std::string("Reference: ") +
                       ReferenceMethodName(EffectiveReferenceMethod(budget)) +
                       "; end connection: " + FloatToText(EffectiveEndConnectorDb(budget)) + " dB";
    if (!budget.Launch.empty())
        text += "; launch: " + budget.Launch;
    return text;
}

std::vector<int> BudgetWavelengths(const TBudget& budget) {
    std::set<int> keys;
    const auto add = [&](const auto& table) {
        for (const auto& entry : table)
            keys.insert(entry.first);
    };
    add(EffectiveAttenuation(budget));
    add(budget.MaxLossDb);
    add(budget.PowerDbm);
    for (const TLinkBudget& link : budget.Links)
        add(LinkAttenuation(budget, link));
    return {keys.begin(), keys.end()};
}

std::optional<int> NearestWavelength(const std::vector<int>& keys, double waveLength) {
    std::optional<int> best;
    double bestDistance = 20;
    for (const int key : keys) {
        const double distance = std::fabs(key - waveLength);
        if (distance < bestDistance || (distance == bestDistance && !best)) {
            bestDistance = distance;
            best = key;
        }
    }
    return best;
}

std::string InfiniteLimitKey(const TBudget& budget) {
    const TReferenceMethod method = EffectiveReferenceMethod(budget);
    const std::string endKey = budget.EndConnectorDb ? "end_connector_db" : "connector_db";
    for (std::size_t index = 0; index < budget.Links.size(); ++index) {
        const TLinkBudget& link = budget.Links[index];
        const std::string at = "links[" + std::to_string(index) + "]";
        double longest = 0;
        for (const auto& [waveLength, dbPerKm] : LinkAttenuation(budget, link))
            longest = std::max(longest, link.LengthM / 1000.0 * dbPerKm);
        const std::pair<double, std::string> terms[] = {
            {longest, at + ".length_m"},
            {MeasuredEndConnections(method, link.Connectors) * EffectiveEndConnectorDb(budget),
             endKey},
            {std::max(link.Connectors - 2, 0) * EffectiveConnectorDb(budget), "connector_db"},
            {link.Splices * EffectiveSpliceDb(budget), "splice_db"}};
        for (const auto& [term, key] : terms) {
            if (!std::isfinite(term))
                return key;
        }
        if (!std::isfinite(longest + LinkFixedDb(budget, link)))
            return at;
    }
    return {};
}
