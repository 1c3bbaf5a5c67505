#include <limits>
#include <map>

#include "report/JobReportBlocks.h"
#include "report/ReportFibres.h"

namespace {

struct TWaveStats {
    std::size_t Rows = 0;
    std::size_t Readings = 0;
    TVerdictCounts Counts;
    std::size_t Losses = 0;
    double Min = std::numeric_limits<double>::infinity();
    double Max = -std::numeric_limits<double>::infinity();
    double Sum = 0;
};

void AddWavelengths(TBlockList& list, const TJobResults& results) {
    std::map<int, TWaveStats> byKey;
    for (const TResultRow& row : results.Rows) {
        TWaveStats& stats = byKey[row.WaveLengthKey];
        ++stats.Rows;
        stats.Readings += row.Shape == TRowShape::Pair ? 2 : 1;
        stats.Counts.Add(row.Kind);
        if (const TFigure loss = RowLoss(row)) {
            ++stats.Losses;
            stats.Min = std::min(stats.Min, *loss);
            stats.Max = std::max(stats.Max, *loss);
            stats.Sum += *loss;
        }
    }
    TTableBlock table;
    table.Columns = {
        {QStringLiteral("Wavelength (nm)")},     {QStringLiteral("Results"), true},
        {QStringLiteral("Readings"), true},      {QStringLiteral("PASS"), true},
        {QStringLiteral("FAIL"), true},          {QStringLiteral("CHECK"), true},
        {QStringLiteral("Min loss (dB)"), true}, {QStringLiteral("Max loss (dB)"), true},
        {QStringLiteral("Mean loss (dB)"), true}};
    for (const auto& [key, stats] : byKey) {
        const bool losses = stats.Losses > 0;
        table.AddRow(
            {QString::number(key), QString::number(stats.Rows), QString::number(stats.Readings),
             QString::number(stats.Counts.Pass), QString::number(stats.Counts.Fail),
             QString::number(stats.Counts.Check), losses ? FigureCell(stats.Min) : QString(),
             losses ? FigureCell(stats.Max) : QString(),
             losses ? FigureCell(stats.Sum / static_cast<double>(stats.Losses)) : QString()});
    }
    if (table.RowCount() == 0) {
        list.Line(QStringLiteral("No readings."));
        return;
    }
    list.Add(std::move(table));
    list.Line(results.PairRule == TPairRule::Worst
                  ? QStringLiteral("A pair's loss is its worse direction's (pair rule worst).")
                  : QStringLiteral("A pair's loss is the average of its two directions (pair "
                                   "rule average)."),
              TFontRole::Small);
}

void AddFibres(TBlockList& list, const TJobResults& results) {
    const TVerdictCounts counts = CountFibreResults(results.Fibres);
    if (counts.Judged() > 0)
        list.Line(QString::fromStdString(FibreSummary(counts)));
    TTableBlock failed = FailedFibresTable(results.Fibres);
    if (failed.RowCount() > 0) {
        list.Gap(4);
        list.Add(std::move(failed));
    }
    const TJobCompleteness& completeness = results.Completeness;
    if (completeness.Expected == 0)
        return;
    list.Gap(6);
    list.Line(QString::fromStdString(CompletenessText(completeness)));
    TTableBlock untested;
    untested.Columns = {{QStringLiteral("Cable")},
                        {QStringLiteral("Tested"), true},
                        {QStringLiteral("Untested fibres")}};
    for (const TCableCompleteness& cable : completeness.Cables) {
        QStringList names;
        for (const std::string& fibre : cable.Untested)
            names << Utf8(fibre);
        untested.AddRow({Utf8(cable.Cable),
                         QStringLiteral("%1 of %2").arg(cable.Tested).arg(cable.Expected),
                         names.join(QStringLiteral(", "))});
    }
    list.Gap(4);
    list.Add(std::move(untested));
}

void AddReadingCounts(TBlockList& list, const TJobResults& results) {
    std::size_t noDirection = 0;
    std::size_t absolute = 0;
    for (const TResultRow& row : results.Rows) {
        noDirection += row.Shape == TRowShape::Single ? 1 : 0;
        absolute += row.Shape == TRowShape::Absolute ? 1 : 0;
    }
    const TJobCounts& counts = results.Counts;
    list.Add(FactsTable(
        {{QStringLiteral("Pairs (A→B and B→A)"), QString::number(counts.Pairs)},
         {QStringLiteral("One-direction readings"), QString::number(counts.OneDirection)},
         {QStringLiteral("Readings without a direction"), QString::number(noDirection)},
         {QStringLiteral("Absolute readings"), QString::number(absolute)},
         {QStringLiteral("Current readings"), QString::number(counts.Current)},
         {QStringLiteral("Replaced by a re-test"), QString::number(counts.History)},
         {QStringLiteral("Repeats (no change)"), QString::number(counts.Repeats)},
         {QStringLiteral("Downloads"), QString::number(counts.Downloads)},
         {QStringLiteral("Void downloads"), QString::number(counts.VoidDownloads)}}));
    if (results.VoidDownloads.empty())
        return;
    list.Gap(4);
    TTableBlock voided;
    voided.Columns = {{QStringLiteral("Void download"), true}, {QStringLiteral("Reason")}};
    for (const TVoidDownload& download : results.VoidDownloads)
        voided.AddRow({download.RecordsSha256.empty() ? QString::number(download.Number)
                                                      : Utf8(download.RecordsSha256.substr(0, 8)),
                       Utf8(download.Reason)});
    list.Add(std::move(voided));
}

}  // namespace

TFigure RowLoss(const TResultRow& row) {
    return row.Loss;
}

QString PairRuleText(TPairRule rule) {
    return rule == TPairRule::Worst ? QStringLiteral("its worse direction's (pair rule worst)")
                                    : QStringLiteral("its average's (pair rule average)");
}

void AddJobSummary(TBlockList& list, const TJobReportInput& input) {
    const TJobResults& results = *input.Results;
    list.Heading(QStringLiteral("Summary"));
    list.Gap(2);
    AddWavelengths(list, results);
    list.Gap(12);
    list.Heading(QStringLiteral("Fibres"));
    AddFibres(list, results);
    list.Gap(12);
    list.Heading(QStringLiteral("Readings"));
    AddReadingCounts(list, results);
}
