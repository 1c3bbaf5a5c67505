#include "tools/cli/JobReport.h"

#include "data/CountText.h"
#include "data/NumberText.h"
#include "export/ExportFields.h"
#include "jobs/JobReportColumns.h"
#include "tools/cli/TextColumns.h"

namespace {

// A figure of the row in column, with the decimals the column shows it with; the workbook's
// number format has the same.
TGridCell Figure(const TResultRow& row, std::size_t column, const TFigure& value) {
    const int decimals = ColumnDecimals(row, column);
    return value ? GridNumber(FixedText(*value, decimals), *value, decimals) : TGridCell{};
}

std::vector<TGridCell> GridRow(const TResultRow& row) {
    std::vector<TGridCell> cells(JobReportColumnCount);
    cells[CableColumn] = GridText(Latin1ToUtf8(row.Cable));
    cells[FiberColumn] = GridText(Latin1ToUtf8(row.Fiber));
    cells[WaveLengthColumn] = GridNumber(std::to_string(row.WaveLengthKey), row.WaveLengthKey, 0);
    if (row.Shape == TRowShape::Pair) {
        cells[AToBColumn] = Figure(row, AToBColumn, row.Reading.Verdict.Loss);
        cells[BToAColumn] = Figure(row, BToAColumn, row.Partner.Verdict.Loss);
        cells[AverageColumn] = Figure(row, AverageColumn, row.Average);
    } else {
        const std::size_t column = DirectionColumn(row.Reading.Direction);
        cells[column] = Figure(row, column, ShownFigure(row, row.Reading));
    }
    cells[LimitColumn] = Figure(row, LimitColumn, row.Limit);
    cells[MarginColumn] = Figure(row, MarginColumn, row.Margin);
    cells[VerdictColumn] = GridText(VerdictText(row.Kind));
    cells[NoteColumn] = GridText(RowNote(row));
    return cells;
}

std::string CompletenessLines(const TJobCompleteness& completeness) {
    if (completeness.Cables.empty())
        return {};
    std::string text = CompletenessText(completeness) + '\n';
    for (const TCableCompleteness& cable : completeness.Cables) {
        if (cable.Untested.empty())
            continue;
        text += "untested in cable " + cable.Cable + ':';
        for (std::size_t at = 0; at < cable.Untested.size(); ++at)
            text += (at == 0 ? " " : ", ") + cable.Untested[at];
        text += '\n';
    }
    return text;
}

}  // namespace

TExportGrid JobReportGrid(const TJobResults& results) {
    TExportGrid grid;
    grid.SheetName = "Job";
    grid.Captions = {"Cable",   "Fiber", "WaveLength", "A→B",     "B→A",
                     "Average", "Limit", "Margin",     "Verdict", "Note"};
    grid.Rows.reserve(results.Rows.size());
    for (const TResultRow& row : results.Rows)
        grid.Rows.push_back(GridRow(row));
    return grid;
}

std::string JobReportText(const TExportGrid& grid) {
    std::vector<std::vector<std::string>> lines;
    lines.reserve(grid.Rows.size() + 1);
    lines.push_back(grid.Captions);
    for (const std::vector<TGridCell>& cells : grid.Rows) {
        std::vector<std::string>& line = lines.emplace_back();
        for (const TGridCell& cell : cells)
            line.push_back(cell.Text);
    }
    std::vector<bool> right(JobReportColumnCount, false);
    for (std::size_t column = WaveLengthColumn; column <= MarginColumn; ++column)
        right[column] = true;
    return AlignedColumns(lines, right);
}

std::string JobCountsText(const TJobResults& results) {
    const TJobCounts& counts = results.Counts;
    std::string text = Counted(counts.Current, "current reading", "current readings") + ", " +
                       GroupedCount(counts.History) + " history, " +
                       Counted(counts.Repeats, "repeat", "repeats") + '\n';
    text += Counted(counts.Pairs, "pair", "pairs") + ", " + GroupedCount(counts.OneDirection) +
            " one direction\n";
    if (counts.Pairs > 0)
        text += results.PairRule == TPairRule::Worst
                    ? "a pair's limit, margin and verdict are its worse direction's (pair rule "
                      "worst)\n"
                    : "a pair's limit, margin and verdict are its average's (pair rule average)\n";
    if (counts.Rows.Judged() > 0)
        text += VerdictSummary(counts.Rows, counts.Rows.Judged() == 1 ? "row" : "rows") + '\n';
    const TVerdictCounts fibres = CountFibreResults(results.Fibres);
    if (fibres.Judged() > 0)
        text += FibreSummary(fibres) + '\n';
    if (counts.Rows.None > 0)
        text += Counted(counts.Rows.None, "row", "rows") + " without a verdict\n";
    return text + CompletenessLines(results.Completeness);
}
