#include "verdict/Budget.h"

#include <algorithm>

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
