#include "verdict/Budget.h"

#include <algorithm>
#include <cmath>

const std::vector<TBudgetPreset>& BudgetPresets() {
    // Attenuation maxima of TIA-568 by fiber type; 0.75 dB a connector pair, 0.3 dB a splice.
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

std::string InfiniteLimitKey(const TBudget& budget) {
    const double connectorDb = EffectiveConnectorDb(budget);
    const double spliceDb = EffectiveSpliceDb(budget);
    const TWavelengthTable attenuation = EffectiveAttenuation(budget);
    for (std::size_t index = 0; index < budget.Links.size(); ++index) {
        const TLinkBudget& link = budget.Links[index];
        const std::string at = "links[" + std::to_string(index) + "]";
        double longest = 0;
        for (const auto& [waveLength, dbPerKm] : attenuation)
            longest = std::max(longest, link.LengthM / 1000.0 * dbPerKm);
        const std::pair<double, std::string> terms[] = {
            {longest, at + ".length_m"},
            {link.Connectors * connectorDb, "connector_db"},
            {link.Splices * spliceDb, "splice_db"}};
        double sum = 0;
        for (const auto& [term, key] : terms) {
            if (!std::isfinite(term))
                return key;
            sum += term;
        }
        if (!std::isfinite(sum))
            return at;
    }
    return {};
}
