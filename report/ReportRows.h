#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/MeasurementTable.h"
#include "verdict/Verdict.h"

// The rows a report shows and what is counted and charted from them. Texts stay the table's
// own 8-bit ones.
struct TReportRow {
    std::size_t Row = 0;  // in the table
    const TVerdict* Verdict = nullptr;
};

struct TWavelengthCounts {
    std::string WaveLength;  // the table's text
    TVerdictCounts Counts;
};

struct TReportRows {
    std::vector<TReportRow> Rows;  // in table order
    TVerdictCounts Counts;
    std::vector<TWavelengthCounts> ByWaveLength;  // by wavelength, shortest first
};

// The ticked rows (all rows when onlyChecked is false) with their verdicts, one verdict per
// table row. Throws std::invalid_argument when the counts differ.
TReportRows CollectReportRows(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts,
                              bool onlyChecked);

// One bar of a wavelength's chart: a reported row that has a loss.
struct TChartBar {
    std::size_t Row = 0;
    double Loss = 0;
    std::optional<double> Limit;
    TVerdictKind Kind = TVerdictKind::None;
};

struct TChartSeries {
    std::string WaveLength;
    std::vector<TChartBar> Bars;  // in cable, then fiber order
};

// One series per wavelength that has a row with a loss, in the order of ByWaveLength; with
// groupKeys, per budget wavelength group (GroupByBudgetWavelengths made ByWaveLength).
std::vector<TChartSeries> CollectChartSeries(const TMeasurementTable& table,
                                             const TReportRows& rows,
                                             const std::vector<int>* groupKeys = nullptr);

// Orders texts as people number cables and fibers: runs of digits by their value ("2" before
// "10"), the rest byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);
