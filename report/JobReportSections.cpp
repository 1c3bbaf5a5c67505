#include <map>

#include "jobs/JobReportColumns.h"
#include "jobs/JobResults.h"
#include "report/JobReportBlocks.h"
#include "report/ReportFibres.h"

namespace {

QString DirectionText(TDirection direction) {
    switch (direction) {
        case TDirection::AToB:
            return QStringLiteral("A→B");
        case TDirection::BToA:
            return QStringLiteral("B→A");
        case TDirection::None:
            break;
    }
    return QStringLiteral("none");
}

QString Note(const TResultRow& row) {
    return QString::fromUtf8(RowNote(row));
}

void AddResultRow(TTableBlock& table, const TResultRow& row) {
    std::array<QString, JobReportColumnCount> cells;
    cells[CableColumn] = Latin1(row.Cable);
    cells[FiberColumn] = Latin1(row.Fiber);
    cells[WaveLengthColumn] = QString::number(row.WaveLengthKey);
    // Each figure with the decimals every output shows it with.
    const auto figure = [&](std::size_t column, const TFigure& value) {
        cells[column] = FigureCell(value, ColumnDecimals(row, column));
    };
    if (row.Shape == TRowShape::Pair) {
        figure(AToBColumn, row.Reading.Verdict.Loss);
        figure(BToAColumn, row.Partner.Verdict.Loss);
        figure(AverageColumn, row.Average);
    } else {
        figure(DirectionColumn(row.Reading.Direction), ShownFigure(row, row.Reading));
    }
    figure(LimitColumn, row.Limit);
    figure(MarginColumn, row.Margin);
    cells[VerdictColumn] = QString::fromLatin1(VerdictText(row.Kind));
    cells[NoteColumn] = Note(row);
    for (QString& cell : cells)
        table.Cells.push_back(std::move(cell));
    table.Verdicts.push_back(row.Kind);
}

// "3f2a9c1e (2026-11-04, Ann Smith)": a download by the start of its hash, the same in every
// archive (its number only where it has no hash), test date and operator.
QString DownloadText(const std::map<std::int64_t, const TDownload*>& downloads,
                     std::int64_t number) {
    const auto found = downloads.find(number);
    if (found == downloads.end())
        return QString::number(number);
    const TDownload& download = *found->second;
    QString text = (download.RecordsSha256.empty() ? QString::number(number)
                                                   : Utf8(download.RecordsSha256.substr(0, 8))) +
                   QStringLiteral(" (") + Utf8(download.TestDate);
    if (!download.Operator.empty())
        text += QStringLiteral(", ") + Utf8(download.Operator);
    return text + QLatin1Char(')');
}

// The reading of a row that is current in direction.
const TRowReading& CurrentIn(const TResultRow& row, TDirection direction) {
    return row.Shape == TRowShape::Pair && direction == TDirection::BToA ? row.Partner
                                                                         : row.Reading;
}

}  // namespace

void AddJobResults(TBlockList& list, const TJobResults& results) {
    list.Heading(QStringLiteral("Results"));
    list.Line(QStringLiteral("Losses in dB; A→B and B→A each direction's, Average their mean."),
              TFontRole::Small);
    list.Line(QStringLiteral("A pair's limit, margin and verdict are ") +
                  PairRuleText(results.PairRule) + QLatin1Char('.'),
              TFontRole::Small);
    list.Gap(2);
    TTableBlock table;
    table.Columns = {{QStringLiteral("Cable")},       {QStringLiteral("Fiber")},
                     {QStringLiteral("WaveLength")},  {QStringLiteral("A→B"), true},
                     {QStringLiteral("B→A"), true},   {QStringLiteral("Average"), true},
                     {QStringLiteral("Limit"), true}, {QStringLiteral("Margin"), true},
                     {QStringLiteral("Verdict")},     {QStringLiteral("Note")}};
    table.VerdictColumn = VerdictColumn;
    table.Cells.reserve(results.Rows.size() * JobReportColumnCount);
    table.Verdicts.reserve(results.Rows.size());
    for (const TResultRow& row : results.Rows)
        AddResultRow(table, row);
    if (results.Rows.empty()) {
        list.Line(QStringLiteral("No results."));
        return;
    }
    // One table over every cable, so that the longest cable and fiber names of the job set
    // the columns' widths on every page.
    list.Add(std::move(table));
}

TJobCharts JobCharts(const TJobResults& results) {
    TJobCharts charts;
    charts.PairRule = results.PairRule;
    std::map<int, TChartSeries> byKey;
    for (const TResultRow& row : results.Rows) {
        const TFigure loss = RowLoss(row);
        if (!loss)
            continue;
        const std::size_t label = charts.Labels.RowCount();
        charts.Labels.AddRow(row.Cable, row.Fiber, {}, {}, {});
        TChartSeries& series = byKey[row.WaveLengthKey];
        series.Bars.push_back({label, *loss, row.Limit, row.Kind});
    }
    for (auto& [key, series] : byKey) {
        series.WaveLength = std::to_string(key);
        charts.Series.push_back(std::move(series));
    }
    return charts;
}

void AddJobCharts(TBlockList& list, const TJobCharts& charts) {
    list.Heading(QStringLiteral("Loss per fiber"));
    list.Line(charts.PairRule == TPairRule::Worst
                  ? QStringLiteral("A pair's bar is the loss of its worse direction.")
                  : QStringLiteral("A pair's bar is the average of its two directions."),
              TFontRole::Small);
    if (charts.Series.empty())
        list.Line(QStringLiteral("No losses to chart."));
    for (const TChartSeries& series : charts.Series) {
        list.Gap(4);
        list.Add(
            TTextBlock{GroupTitle(series.WaveLength), TFontRole::BodyBold, Qt::black, true, true});
        for (TChartBlock& strip : ChartStrips(list.Style(), charts.Labels, series))
            list.Add(strip);
    }
}

void AddJobRetests(TBlockList& list, const TJobReportInput& input, const TBudget& budget) {
    list.Heading(QStringLiteral("Re-tests"));
    std::map<std::int64_t, const TDownload*> downloads;
    for (const TDownload& download : *input.Downloads)
        downloads.emplace(download.Number, &download);
    const TVerdictJudge judge(budget);
    TTableBlock table;
    table.Columns = {{QStringLiteral("Cable")},         {QStringLiteral("Fiber")},
                     {QStringLiteral("WaveLength")},    {QStringLiteral("Direction")},
                     {QStringLiteral("Earlier"), true}, {QStringLiteral("From download")},
                     {QStringLiteral("Now"), true},     {QStringLiteral("From download")}};
    for (const TResultRow& row : input.Results->Rows) {
        for (const THistoryReading& earlier : row.History) {
            const TVerdict verdict =
                judge.Judge(TMeranie{row.Cable, row.Fiber, earlier.WaveLength, earlier.Value,
                                     earlier.Reference, row.IsRelative});
            const TRowReading& now = CurrentIn(row, earlier.Direction);
            // The digits of the results: the current one's its cell's, the earlier a loss's
            // against the row's limit.
            const std::size_t nowColumn = row.Shape != TRowShape::Pair
                                              ? DirectionColumn(now.Direction)
                                          : &now == &row.Partner ? BToAColumn
                                                                 : AToBColumn;
            const TFigure before = row.IsRelative ? verdict.Loss : TFigure(earlier.Value);
            table.AddRow(
                {Latin1(row.Cable), Latin1(row.Fiber), QString::number(row.WaveLengthKey),
                 DirectionText(earlier.Direction),
                 FigureCell(before,
                            row.IsRelative && before ? LossDecimals(*before, row.Limit) : 2),
                 DownloadText(downloads, earlier.Download),
                 FigureCell(ShownFigure(row, now), ColumnDecimals(row, nowColumn)),
                 DownloadText(downloads, now.Download)});
        }
    }
    if (table.RowCount() == 0) {
        list.Line(QStringLiteral("No reading was re-tested."));
        return;
    }
    list.Line(QStringLiteral("Each reading a later different one replaced, oldest first; losses "
                             "in dB, absolute readings in dBm."),
              TFontRole::Small);
    list.Gap(2);
    list.Add(std::move(table));
}

void AddSignOff(TBlockList& list) {
    list.Heading(QStringLiteral("Sign-off"));
    const QString line = QStringLiteral("______________________________");
    for (const QString& role : {QStringLiteral("Tested by"), QStringLiteral("Approved by")}) {
        list.Gap(18);
        list.Line(role + QStringLiteral(": ") + line + QStringLiteral("    Date: ") +
                  QStringLiteral("________________"));
    }
}
