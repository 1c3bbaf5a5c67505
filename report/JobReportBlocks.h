#pragma once

#include <QString>
#include <string>
#include <vector>

#include "report/JobReport.h"
#include "report/ReportChart.h"
#include "report/ReportLayout.h"
#include "report/ReportRows.h"
#include "verdict/Budget.h"

// The sections of a job's report as blocks in reading order, measured in style's fonts.

// A list of blocks being made: tables are fitted as they go in.
class TBlockList {
public:
    explicit TBlockList(const TReportStyle& style) : style_(style) {}

    void Add(TReportBlock block);
    void Line(const QString& text, TFontRole font = TFontRole::Body, QColor color = Qt::black);
    void Heading(const QString& text);
    void Gap(double points) { blocks_.emplace_back(TGapBlock{points}); }
    const TReportStyle& Style() const { return style_; }

    std::vector<TReportBlock> Take() { return std::move(blocks_); }

private:
    const TReportStyle& style_;
    std::vector<TReportBlock> blocks_;
};

// A key and its value, one per line, without a header: cells wrap, never cut.
TTableBlock FactsTable(const std::vector<std::pair<QString, QString>>& facts);

// Two decimals (or decimals), empty for none.
QString FigureCell(const TFigure& figure, int decimals = 2);

// The title, identity, logo, overall result, dates, operators, meters and budget.
void AddJobCover(TBlockList& list, const TJobReportInput& input, const TBudget& budget);

// Per wavelength counts and losses, the fibres' results, pairs and one-direction readings.
void AddJobSummary(TBlockList& list, const TJobReportInput& input);

// The loss a row stands for: a pair's by its pair rule (TResultRow::Loss), a relative
// reading's loss; none for an absolute reading.
TFigure RowLoss(const TResultRow& row);

// What a pair's limit, margin and verdict are under rule: "its worse direction's (pair rule
// worst)", "its average's (pair rule average)".
QString PairRuleText(TPairRule rule);

// The results table, per cable in the results' order.
void AddJobResults(TBlockList& list, const TJobResults& results);

// The bars of the charts: a table of their cable and fiber labels and a series per
// wavelength key, each fibre's loss (RowLoss) against its limit.
struct TJobCharts {
    TPairRule PairRule = TPairRule::Worst;
    TMeasurementTable Labels;
    std::vector<TChartSeries> Series;
};
TJobCharts JobCharts(const TJobResults& results);
// The charts point into charts, which must outlive the blocks.
void AddJobCharts(TBlockList& list, const TJobCharts& charts);

// Each replaced reading with the reading that replaced it and the downloads they came from.
void AddJobRetests(TBlockList& list, const TJobReportInput& input, const TBudget& budget);

// Lines for the signatures.
void AddSignOff(TBlockList& list);
