#pragma once

#include <QString>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "report/ReportStyle.h"

class QPainter;

struct TReportColumn {
    QString Caption;
    bool AlignRight = false;
};

// A table whose columns are as wide as their longest texts; when they cannot all be, the
// widest give up room and their texts wrap, never cut. A long table is cut into pieces at page
// ends, each under its own header. The cells are made and measured before the layout, so that
// painting only draws.
struct TTableBlock {
    std::vector<TReportColumn> Columns;
    bool ShowHeader = true;
    std::vector<QString> Cells;  // row by row
    // Per row, when given: the verdict that tints the row and colours the verdict column.
    std::vector<TVerdictKind> Verdicts;
    int VerdictColumn = -1;

    // Made by FitTable, in device units.
    std::vector<double> Widths;          // per column
    std::vector<float> Advances;         // per cell, of its text on one line
    std::vector<float> CaptionAdvances;  // per column
    std::vector<double> RowTops;         // per row and one past the last, from the first row
    double HeaderHeight = 0;
    // The lines of the cells (by index in Cells, captions after the cells) that wrap.
    std::unordered_map<std::size_t, std::vector<QString>> Wrapped;

    std::size_t RowCount() const { return Columns.empty() ? 0 : Cells.size() / Columns.size(); }
    void AddRow(std::initializer_list<QString> cells) { Cells.insert(Cells.end(), cells); }
    double RowHeight(std::size_t row) const { return RowTops[row + 1] - RowTops[row]; }
};

// Measures the cells and captions and sets the columns' widths, the wrapped lines and the rows'
// heights, for a table no wider than the content.
void FitTable(const TReportStyle& style, TTableBlock& table);

// Paints the header (when the table shows one) and rows [first, first + count) from top, at
// the left margin.
void PaintTable(QPainter& painter, const TReportStyle& style, const TTableBlock& table, double top,
                std::size_t first, std::size_t count);
