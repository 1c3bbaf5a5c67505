#pragma once

#include <cstddef>
#include <vector>

#include "data/MeasurementTable.h"
#include "report/ReportRows.h"
#include "report/ReportStyle.h"

class QPainter;

// At most this many bars share one strip of a chart, fewer when the fibers' labels are wide,
// so that every bar keeps room for its label; a wavelength with more fibers gets as many strips
// as it needs, one under the other and on the following pages, all on the same axis. Labels
// too wide for a bar of the narrowest strip, and cables' labels too wide for their bars, wrap.
inline constexpr std::size_t MaxBarsPerStrip = 50;
inline constexpr std::size_t MinBarsPerStrip = 10;
inline constexpr double ChartStripHeightPt = 160;  // with labels of one line

// One strip of a wavelength's chart: bars [First, First + Count) of the series.
struct TChartBlock {
    const TMeasurementTable* Table = nullptr;  // for the cable and fiber labels
    const TChartSeries* Series = nullptr;
    std::size_t First = 0;
    std::size_t Count = 0;
    std::size_t Slots = 0;  // bar places per strip, the same in every strip of the series
    // The loss axis, the same in every strip of the series.
    double Low = 0;
    double High = 1;
    double Step = 0.5;
    double SlotWidth = 0;  // device units
    // The most lines a fiber's and a cable's label take in this strip.
    std::size_t FiberLines = 1;
    std::size_t CableLines = 1;
};

// The series cut into strips as even as can be.
std::vector<TChartBlock> ChartStrips(const TReportStyle& style, const TMeasurementTable& table,
                                     const TChartSeries& series);

// The strip's height in device units, its labels' lines included.
double ChartStripHeight(const TReportStyle& style, const TChartBlock& strip);

void PaintChartStrip(QPainter& painter, const TReportStyle& style, const TChartBlock& strip,
                     double top);

// The key of the bar colours and the limit line, ending at the content's right edge.
void PaintChartLegend(QPainter& painter, const TReportStyle& style, double baseline);
