#include "report/ReportGroups.h"

#include <charconv>
#include <map>
#include <optional>

#include "verdict/Budget.h"

namespace {

constexpr const char* OtherGroup = "other";

// The group's key for ordering; "other" after every key.
std::optional<int> GroupKey(std::string_view text, const std::vector<int>& keys) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return NearestWavelength(keys, value);
}

}  // namespace

std::string WavelengthGroupName(std::string_view waveLength, const std::vector<int>& keys) {
    const std::optional<int> key = GroupKey(waveLength, keys);
    return key ? std::to_string(*key) : std::string(OtherGroup);
}

void GroupByBudgetWavelengths(TReportRows& rows, const TMeasurementTable& table,
                              const std::vector<int>& keys) {
    // A key past every wavelength orders "other" last.
    std::map<long long, TVerdictCounts> byKey;
    constexpr long long OtherKey = 1LL << 40;
    for (const TReportRow& row : rows.Rows) {
        const std::optional<int> key = GroupKey(table.SubItem(row.Row, 2), keys);
        byKey[key ? *key : OtherKey].Add(row.Verdict->Kind);
    }
    rows.ByWaveLength.clear();
    for (const auto& [key, counts] : byKey)
        rows.ByWaveLength.push_back(
            {key == OtherKey ? std::string(OtherGroup) : std::to_string(key), counts});
}
