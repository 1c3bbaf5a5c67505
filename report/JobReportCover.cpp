#include <algorithm>
#include <cmath>
#include <set>

#include "data/NumberText.h"
#include "export/ExportFields.h"
#include "report/JobReportBlocks.h"
#include "report/ReportLogo.h"

namespace {

// The logo's room on the cover, and the resolution it is printed at.
constexpr double LogoWidthPt = 220;
constexpr double LogoHeightPt = 90;
constexpr double LogoDotsPerInch = 300;

TVerdictKind Overall(const TVerdictCounts& counts) {
    return counts.Fail > 0    ? TVerdictKind::Fail
           : counts.Check > 0 ? TVerdictKind::Check
           : counts.Pass > 0  ? TVerdictKind::Pass
                              : TVerdictKind::None;
}

QString OrNone(const std::string& text) {
    return text.empty() ? QStringLiteral("-") : Utf8(text);
}

// A meter's name line, its fields apart as the window's device label shows them.
QString MeterText(const std::string& meter) {
    QString text;
    for (const std::string_view field : DeviceFields(meter)) {
        if (!text.isEmpty())
            text += QStringLiteral("    ");
        text += Utf8(field);
    }
    return text.isEmpty() ? QStringLiteral("(not named)") : text;
}

std::vector<const TDownload*> CountedDownloads(const TJobReportInput& input) {
    std::vector<const TDownload*> counted;
    for (const TDownload& download : *input.Downloads) {
        if (!download.Void)
            counted.push_back(&download);
    }
    return counted;
}

void AddLogo(TBlockList& list, const TJob& job) {
    QSizeF sizePt;
    QImage logo = OpaqueLogo(job.Logo, job.LogoType, QSizeF(LogoWidthPt, LogoHeightPt),
                             LogoDotsPerInch, sizePt);
    if (logo.isNull())
        return;
    list.Add(TImageBlock{std::move(logo), sizePt.width(), sizePt.height()});
    list.Gap(12);
}

void AddResult(TBlockList& list, const TJobResults& results) {
    const TVerdictCounts& counts = results.Counts.Rows;
    const TVerdictKind overall = Overall(counts);
    list.Line(overall == TVerdictKind::None ? QStringLiteral("NO VERDICT")
                                            : QString::fromLatin1(VerdictText(overall)),
              TFontRole::Large, VerdictColor(overall));
    list.Line(QStringLiteral("%1 results: %2 PASS, %3 FAIL, %4 CHECK, %5 without a verdict")
                  .arg(results.Rows.size())
                  .arg(counts.Pass)
                  .arg(counts.Fail)
                  .arg(counts.Check)
                  .arg(counts.None),
              TFontRole::BodyBold);
    if (results.Completeness.Expected > 0)
        list.Line(QString::fromStdString(CompletenessText(results.Completeness)));
    list.Gap(12);
}

void AddDownloadFacts(TBlockList& list, const TJobReportInput& input) {
    const std::vector<const TDownload*> counted = CountedDownloads(input);
    std::set<std::string> dates;
    std::set<std::string> operators;
    for (const TDownload* download : counted) {
        dates.insert(download->TestDate);
        if (!download->Operator.empty())
            operators.insert(download->Operator);
    }
    QStringList operatorNames;
    for (const std::string& name : operators)
        operatorNames << Utf8(name);
    const std::size_t voided = input.Downloads->size() - counted.size();
    QString downloads = QString::number(counted.size());
    if (voided > 0)
        downloads += QStringLiteral(" (and %1 void)").arg(voided);
    list.Add(FactsTable({{QStringLiteral("Downloads"), downloads},
                         {QStringLiteral("First download"),
                          dates.empty() ? QStringLiteral("-") : Utf8(*dates.begin())},
                         {QStringLiteral("Last download"),
                          dates.empty() ? QStringLiteral("-") : Utf8(*dates.rbegin())},
                         {QStringLiteral("Operators"),
                          operatorNames.isEmpty() ? QStringLiteral("-")
                                                  : operatorNames.join(QStringLiteral(", "))}}));
    std::map<std::string, std::size_t> meters;
    for (const TDownload* download : counted)
        ++meters[download->Meter];
    if (meters.empty())
        return;
    list.Gap(6);
    TTableBlock table;
    table.Columns = {{QStringLiteral("Meter")}, {QStringLiteral("Downloads"), true}};
    for (const auto& [meter, count] : meters)
        table.AddRow({MeterText(meter), QString::number(count)});
    list.Add(std::move(table));
}

// Each link's length, connectors and splices, so that a reader can work a limit out again
// from the budget's figures.
void AddBudgetLinks(TBlockList& list, const TBudget& budget) {
    if (budget.Links.empty())
        return;
    list.Gap(6);
    TTableBlock links;
    links.Columns = {{QStringLiteral("Cable")},
                     {QStringLiteral("Length (m)"), true},
                     {QStringLiteral("Connectors"), true},
                     {QStringLiteral("Splices"), true}};
    for (const TLinkBudget& link : budget.Links) {
        // As the test report gives a length: "500", or two decimals with a fraction.
        const bool whole =
            link.LengthM == std::floor(link.LengthM) && std::abs(link.LengthM) < 1e15;
        links.AddRow(
            {link.Cable == "*" ? QStringLiteral("* (every other cable)") : Utf8(link.Cable),
             QString::number(link.LengthM, 'f', whole ? 0 : 2), QString::number(link.Connectors),
             QString::number(link.Splices)});
    }
    list.Add(std::move(links));
}

void AddBudget(TBlockList& list, const TBudget& budget) {
    list.Heading(QStringLiteral("Loss budget"));
    const TBudgetPreset* preset = FindBudgetPreset(budget.Preset);
    std::vector<std::pair<QString, QString>> facts{
        {QStringLiteral("Name"),
         budget.Name.empty() ? QStringLiteral("(none)") : Utf8(budget.Name)},
        {QStringLiteral("Preset"), preset == nullptr
                                       ? QStringLiteral("none")
                                       : Utf8(preset->Name) + QStringLiteral(" (") +
                                             Utf8(preset->Description) + QStringLiteral(")")},
        {QStringLiteral("Pair rule"),
         QString::fromLatin1(PairRuleName(EffectivePairRule(budget)))}};
    if (budget.ReferenceMethod)
        facts.emplace_back(QStringLiteral("Reference method"),
                           QString::fromLatin1(ReferenceMethodName(*budget.ReferenceMethod)));
    if (budget.EndConnectorDb)
        facts.emplace_back(
            QStringLiteral("End connection"),
            FigureCell(*budget.EndConnectorDb) + QStringLiteral(" dB each measured"));
    if (!budget.Launch.empty())
        facts.emplace_back(QStringLiteral("Launch"), Utf8(budget.Launch));
    list.Add(FactsTable(facts));
    AddBudgetLinks(list, budget);
}

}  // namespace

void TBlockList::Add(TReportBlock block) {
    if (auto* table = std::get_if<TTableBlock>(&block))
        FitTable(style_, *table);
    blocks_.push_back(std::move(block));
}

void TBlockList::Line(const QString& text, TFontRole font, QColor color) {
    blocks_.emplace_back(TTextBlock{text, font, color});
}

void TBlockList::Heading(const QString& text) {
    blocks_.emplace_back(TTextBlock{text, TFontRole::Heading, Qt::black, true});
}

TTableBlock FactsTable(const std::vector<std::pair<QString, QString>>& facts) {
    TTableBlock table;
    table.ShowHeader = false;
    table.Columns = {{QString()}, {QString()}};
    for (const auto& [key, value] : facts)
        table.AddRow({key, value});
    return table;
}

QString FigureCell(const TFigure& figure, int decimals) {
    return figure ? QString::fromStdString(FixedText(*figure, decimals)) : QString();
}

void AddJobCover(TBlockList& list, const TJobReportInput& input, const TBudget& budget) {
    const TJob& job = *input.Job;
    AddLogo(list, job);
    list.Line(Utf8(input.Title), TFontRole::Title);
    list.Gap(6);
    // Names are facts of a table, so that a long one wraps rather than being cut.
    std::vector<std::pair<QString, QString>> facts{
        {QStringLiteral("Job"), Utf8(job.Name)},
        {QStringLiteral("Customer"), OrNone(job.Customer)},
        {QStringLiteral("Site"), OrNone(job.Site)},
        {QStringLiteral("Contractor"), OrNone(job.Contractor)}};
    // The job's notes are the technicians' word to the customer: given when there are any.
    if (!job.Notes.empty())
        facts.emplace_back(QStringLiteral("Notes"), Utf8(job.Notes));
    facts.emplace_back(QStringLiteral("Printed"), OrNone(input.DateTime));
    list.Add(FactsTable(facts));
    list.Gap(16);
    AddResult(list, *input.Results);
    AddDownloadFacts(list, input);
    list.Gap(14);
    AddBudget(list, budget);
}
