#pragma once

#include <QString>
#include <cstddef>
#include <vector>

#include "report/ReportStyle.h"

class QPainter;

struct TReportColumn {
    QString Caption;
    double WidthPt = 0;
    bool AlignRight = false;
};

// A table of one-line cells; a long table is cut into pieces at page ends, each under its own
// header. The cells are made before the layout, so painting only draws.
struct TTableBlock {
    std::vector<TReportColumn> Columns;
    bool ShowHeader = true;
    std::vector<QString> Cells;  // row by row
    // Per row, when given: the verdict that tints the row and colours the verdict column.
    std::vector<TVerdictKind> Verdicts;
    int VerdictColumn = -1;

    std::size_t RowCount() const { return Columns.empty() ? 0 : Cells.size() / Columns.size(); }
    void AddRow(std::initializer_list<QString> cells) { Cells.insert(Cells.end(), cells); }
};

double TableHeaderHeight(const TReportStyle& style, const TTableBlock& table);
double TableRowHeight(const TReportStyle& style);

// Paints the header (when the table shows one) and rows [first, first + count) from top, at
// the left margin.
void PaintTable(QPainter& painter, const TReportStyle& style, const TTableBlock& table, double top,
                std::size_t first, std::size_t count);
