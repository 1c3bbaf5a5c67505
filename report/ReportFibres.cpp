#include "report/ReportFibres.h"

#include "report/ReportStyle.h"
#include "verdict/Verdict.h"

std::vector<TReportBlock> FibreSummaryBlocks(const TMeasurementTable& table,
                                             const TReportRows& rows) {
    TFibreResultsBuilder builder;
    for (const TReportRow& row : rows.Rows)
        builder.Add(std::string(table.SubItem(row.Row, 0)), std::string(table.SubItem(row.Row, 1)),
                    *row.Verdict, row.Verdict->Loss.has_value());
    const std::vector<TFibreResult> fibres = builder.Take();
    const TVerdictCounts counts = CountFibreResults(fibres);
    if (counts.Judged() == 0)
        return {};
    std::vector<TReportBlock> blocks;
    blocks.push_back(TTextBlock{QString::fromStdString(FibreSummary(counts))});
    TTableBlock failed = FailedFibresTable(fibres);
    if (failed.RowCount() > 0) {
        blocks.push_back(TGapBlock{4});
        blocks.push_back(std::move(failed));
    }
    return blocks;
}

TTableBlock FailedFibresTable(const std::vector<TFibreResult>& fibres) {
    TTableBlock failed;
    failed.Columns = {
        {QStringLiteral("Cable")}, {QStringLiteral("Fiber")}, {QStringLiteral("Fibre result")}};
    failed.VerdictColumn = 2;
    for (const TFibreResult& fibre : fibres) {
        if (fibre.Kind != TVerdictKind::Fail && fibre.Kind != TVerdictKind::Check)
            continue;
        failed.AddRow({Latin1(fibre.Cable), Latin1(fibre.Fiber),
                       QString::fromLatin1(VerdictText(fibre.Kind))});
        failed.Verdicts.push_back(fibre.Kind);
    }
    return failed;
}

std::vector<std::pair<QString, QString>> BudgetMethodFacts(const TBudget& budget) {
    std::vector<std::pair<QString, QString>> facts{
        {QStringLiteral("Reference method"),
         QString::fromLatin1(ReferenceMethodName(EffectiveReferenceMethod(budget)))},
        {QStringLiteral("End connection"),
         QString::fromStdString(TwoDecimals(EffectiveEndConnectorDb(budget))) +
             QStringLiteral(" dB each measured")}};
    if (!budget.Launch.empty())
        facts.emplace_back(QStringLiteral("Launch"), Utf8(budget.Launch));
    return facts;
}

QString GroupTitle(const std::string& group) {
    return group == "other" ? QStringLiteral("Other wavelengths, loss in dB")
                            : Latin1(group) + QStringLiteral(" nm, loss in dB");
}

std::vector<TReportBlock> OwnFibreLinkBlocks(const TBudget& budget) {
    TTableBlock links;
    links.Columns = {{QStringLiteral("Cable")},
                     {QStringLiteral("Own preset")},
                     {QStringLiteral("Attenuation (dB/km)")}};
    for (const TLinkBudget& link : budget.Links) {
        if (link.Preset.empty() && link.AttenuationDbPerKm.empty())
            continue;
        QString figures;
        for (const auto& [waveLength, dbPerKm] : LinkAttenuation(budget, link))
            figures += (figures.isEmpty() ? QString() : QStringLiteral(", ")) +
                       QString::number(waveLength) + QStringLiteral(": ") +
                       QString::fromStdString(TwoDecimals(dbPerKm));
        links.AddRow(
            {link.Cable == "*" ? QStringLiteral("* (every other cable)") : Utf8(link.Cable),
             link.Preset.empty() ? QStringLiteral("(the budget's)") : Utf8(link.Preset), figures});
    }
    if (links.RowCount() == 0)
        return {};
    std::vector<TReportBlock> blocks;
    blocks.push_back(TGapBlock{6});
    blocks.push_back(std::move(links));
    return blocks;
}
