#include "report/ReportRows.h"

#include "report/ReportGroups.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The wavelength text's value for ordering; texts that are no number go last.
double WaveLengthKey(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 1e300;
}

bool WaveLengthLess(std::string_view a, std::string_view b) {
    const double keyA = WaveLengthKey(a);
    const double keyB = WaveLengthKey(b);
    return keyA != keyB ? keyA < keyB : a < b;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Leading zeros aside, the longer run is the larger number.
            while (i + 1 < a.size() && a[i] == '0' && IsDigit(a[i + 1]))
                ++i;
            while (j + 1 < b.size() && b[j] == '0' && IsDigit(b[j + 1]))
                ++j;
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            const std::string_view runA = a.substr(i, endA - i);
            const std::string_view runB = b.substr(j, endB - j);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (runA != runB)
                return runA < runB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

TReportRows CollectReportRows(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts,
                              bool onlyChecked) {
    if (verdicts.size() != table.RowCount())
        throw std::invalid_argument("the verdicts do not match the table's rows");
    TReportRows result;
    std::map<std::string_view, TVerdictCounts> byWaveLength;
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        if (onlyChecked && !table.Checked(row))
            continue;
        const TVerdict& verdict = verdicts[row];
        result.Rows.push_back({row, &verdict});
        result.Counts.Add(verdict.Kind);
        byWaveLength[table.SubItem(row, 2)].Add(verdict.Kind);
    }
    for (const auto& [waveLength, counts] : byWaveLength)
        result.ByWaveLength.push_back({std::string(waveLength), counts});
    std::stable_sort(result.ByWaveLength.begin(), result.ByWaveLength.end(),
                     [](const TWavelengthCounts& a, const TWavelengthCounts& b) {
                         return WaveLengthLess(a.WaveLength, b.WaveLength);
                     });
    return result;
}

std::vector<TChartSeries> CollectChartSeries(const TMeasurementTable& table,
                                             const TReportRows& rows,
                                             const std::vector<int>* groupKeys) {
    const auto inGroup = [&](std::size_t row, const std::string& group) {
        const std::string_view text = table.SubItem(row, 2);
        return groupKeys != nullptr ? WavelengthGroupName(text, *groupKeys) == group
                                    : text == group;
    };
    std::vector<TChartSeries> result;
    for (const TWavelengthCounts& group : rows.ByWaveLength) {
        TChartSeries series{group.WaveLength, {}};
        for (const TReportRow& row : rows.Rows) {
            if (row.Verdict->Loss && !std::isnan(*row.Verdict->Loss) &&
                inGroup(row.Row, group.WaveLength))
                series.Bars.push_back(
                    {row.Row, *row.Verdict->Loss, row.Verdict->Limit, row.Verdict->Kind});
        }
        if (series.Bars.empty())
            continue;
        std::stable_sort(series.Bars.begin(), series.Bars.end(),
                         [&table](const TChartBar& a, const TChartBar& b) {
                             const std::string_view cableA = table.SubItem(a.Row, 0);
                             const std::string_view cableB = table.SubItem(b.Row, 0);
                             if (NaturalLess(cableA, cableB))
                                 return true;
                             if (NaturalLess(cableB, cableA))
                                 return false;
                             return NaturalLess(table.SubItem(a.Row, 1), table.SubItem(b.Row, 1));
                         });
        result.push_back(std::move(series));
    }
    return result;
}
