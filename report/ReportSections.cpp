#include "report/ReportSections.h"

#include <cmath>

#include "data/NumberText.h"
#include "export/ExportFields.h"
#include "report/ReportFibres.h"

namespace {

QString Dec2(double value) {
    return QString::fromStdString(TwoDecimals(value));
}
QString Dec2(const std::optional<double>& value) {
    return value ? Dec2(*value) : QString();
}
QString Decimals(const TFigure& value, int decimals) {
    return value ? QString::fromStdString(FixedText(*value, decimals)) : QString();
}
QString Db(double value) {
    return Dec2(value) + QStringLiteral(" dB");
}

// A length as it is usually given, "500", or with two decimals when it has a fraction.
QString Length(double metres) {
    return metres == std::floor(metres) && std::abs(metres) < 1e15 ? QString::number(metres, 'f', 0)
                                                                   : Dec2(metres);
}

TTextBlock Heading(const QString& text) {
    return {text, TFontRole::Heading, Qt::black, true};
}

QString CountText(std::size_t count) {
    return QString::number(count);
}

class TSections {
public:
    TSections(const TReportInput& input, const TReportRows& rows,
              const std::vector<TChartSeries>& series, const TReportStyle& style)
        : input_(input), rows_(rows), series_(series), style_(style) {}

    std::vector<TReportBlock> Take() {
        Head();
        Summary();
        Budget();
        Readings();
        Charts();
        return std::move(blocks_);
    }

private:
    template <class TBlock>
    void Add(TBlock block) {
        blocks_.emplace_back(std::in_place_type<TBlock>, std::move(block));
    }
    void Add(TTableBlock table) {
        FitTable(style_, table);
        blocks_.emplace_back(std::in_place_type<TTableBlock>, std::move(table));
    }
    // A block made elsewhere goes in as its own kind, so that a table is fitted too.
    void Add(TReportBlock block) {
        std::visit([this](auto& one) { Add(std::move(one)); }, block);
    }
    void Gap(double points) { Add(TGapBlock{points}); }
    void Line(const QString& text, TFontRole font = TFontRole::Body, QColor color = Qt::black) {
        Add(TTextBlock{text, font, color});
    }

    void Head() {
        Line(Utf8(input_.Title), TFontRole::Title);
        Gap(4);
        if (!input_.DeviceLine.empty()) {
            // Fields apart as the window's device label shows them.
            QString device;
            for (const std::string_view field : DeviceFields(input_.DeviceLine)) {
                if (!device.isEmpty())
                    device += QStringLiteral("    ");
                device += Latin1(field);
            }
            Line(QStringLiteral("Device: ") + device);
        }
        if (!input_.DateTime.empty())
            Line(QStringLiteral("Date: ") + Utf8(input_.DateTime));
        Gap(12);
    }

    void Summary() {
        Add(Heading(QStringLiteral("Summary")));
        const TVerdictCounts& counts = rows_.Counts;
        const TVerdictKind result = counts.Fail > 0    ? TVerdictKind::Fail
                                    : counts.Check > 0 ? TVerdictKind::Check
                                    : counts.Pass > 0  ? TVerdictKind::Pass
                                                       : TVerdictKind::None;
        Line(QStringLiteral("Result: ") + (result == TVerdictKind::None
                                               ? QStringLiteral("no verdict")
                                               : QString::fromLatin1(VerdictText(result))),
             TFontRole::BodyBold, VerdictColor(result));
        Line(QStringLiteral("%1 rows reported: %2 PASS, %3 FAIL, %4 CHECK, %5 without a verdict")
                 .arg(rows_.Rows.size())
                 .arg(counts.Pass)
                 .arg(counts.Fail)
                 .arg(counts.Check)
                 .arg(counts.None));
        Gap(4);
        TTableBlock table;
        table.Columns = {{QStringLiteral("Wavelength (nm)")}, {QStringLiteral("Rows"), true},
                         {QStringLiteral("PASS"), true},      {QStringLiteral("FAIL"), true},
                         {QStringLiteral("CHECK"), true},     {QStringLiteral("No verdict"), true}};
        for (const TWavelengthCounts& group : rows_.ByWaveLength) {
            const TVerdictCounts& c = group.Counts;
            table.AddRow({Latin1(group.WaveLength), CountText(c.Judged() + c.None),
                          CountText(c.Pass), CountText(c.Fail), CountText(c.Check),
                          CountText(c.None)});
        }
        Add(std::move(table));
        for (TReportBlock& block : FibreSummaryBlocks(*input_.Table, rows_)) {
            if (std::holds_alternative<TTextBlock>(block))
                Gap(6);
            Add(std::move(block));
        }
        Gap(14);
    }

    void Budget() {
        const TBudget& budget = input_.Budget;
        Add(Heading(QStringLiteral("Loss budget")));
        TTableBlock facts;
        facts.ShowHeader = false;
        facts.Columns = {{QString()}, {QString()}};
        const TBudgetPreset* preset = FindBudgetPreset(budget.Preset);
        facts.AddRow({QStringLiteral("Name"),
                      budget.Name.empty() ? QStringLiteral("(none)") : Utf8(budget.Name)});
        facts.AddRow({QStringLiteral("Preset"),
                      preset == nullptr ? QStringLiteral("none")
                                        : Utf8(preset->Name) + QStringLiteral(" (") +
                                              Utf8(preset->Description) + QStringLiteral(")")});
        facts.AddRow({QStringLiteral("Loss sign"),
                      budget.LossSign == TLossSign::Negative
                          ? QStringLiteral("negative (a loss reads as negative dB)")
                          : QStringLiteral("positive (a loss reads as positive dB)")});
        facts.AddRow({QStringLiteral("Gain tolerance"), Db(EffectiveGainToleranceDb(budget))});
        facts.AddRow({QStringLiteral("Connector pair"), Db(EffectiveConnectorDb(budget))});
        facts.AddRow({QStringLiteral("Splice"), Db(EffectiveSpliceDb(budget))});
        for (const auto& [caption, value] : BudgetMethodFacts(budget))
            facts.AddRow({caption, value});
        Add(std::move(facts));
        Gap(6);

        TTableBlock attenuation;
        attenuation.Columns = {{QStringLiteral("Wavelength (nm)")},
                               {QStringLiteral("Attenuation (dB/km)"), true}};
        for (const auto& [waveLength, dbPerKm] : EffectiveAttenuation(budget))
            attenuation.AddRow({QString::number(waveLength), Dec2(dbPerKm)});
        if (attenuation.Cells.empty())
            Line(QStringLiteral("Attenuation: none"));
        else
            Add(std::move(attenuation));

        if (!budget.MaxLossDb.empty()) {
            Gap(6);
            TTableBlock maxLoss;
            maxLoss.Columns = {{QStringLiteral("Wavelength (nm)")},
                               {QStringLiteral("Fixed limit (dB)"), true}};
            for (const auto& [waveLength, db] : budget.MaxLossDb)
                maxLoss.AddRow({QString::number(waveLength), Decimals(db, LimitDecimals(db))});
            Add(std::move(maxLoss));
        }
        if (!budget.PowerDbm.empty()) {
            Gap(6);
            TTableBlock power;
            power.Columns = {{QStringLiteral("Wavelength (nm)")},
                             {QStringLiteral("Power from (dBm)"), true},
                             {QStringLiteral("Power to (dBm)"), true}};
            for (const auto& [waveLength, window] : budget.PowerDbm)
                power.AddRow({QString::number(waveLength), Dec2(window.Min), Dec2(window.Max)});
            Add(std::move(power));
        }

        Gap(6);
        if (budget.Links.empty()) {
            Line(QStringLiteral("Links: none"));
        } else {
            TTableBlock links;
            links.Columns = {{QStringLiteral("Cable")},
                             {QStringLiteral("Length (m)"), true},
                             {QStringLiteral("Connector pairs"), true},
                             {QStringLiteral("Splices"), true}};
            for (const TLinkBudget& link : budget.Links) {
                links.AddRow(
                    {link.Cable == "*" ? QStringLiteral("* (every other cable)") : Utf8(link.Cable),
                     Length(link.LengthM), QString::number(link.Connectors),
                     QString::number(link.Splices)});
            }
            Add(std::move(links));
            for (TReportBlock& block : OwnFibreLinkBlocks(budget))
                Add(std::move(block));
        }
        Gap(14);
    }

    void Readings() {
        const TMeasurementTable& source = *input_.Table;
        Add(Heading(QStringLiteral("Readings")));
        TTableBlock table;
        table.Columns = {{QStringLiteral("Cable")},           {QStringLiteral("Fiber")},
                         {QStringLiteral("WaveLength")},      {QStringLiteral("Value"), true},
                         {QStringLiteral("Reference"), true}, {QStringLiteral("Loss"), true},
                         {QStringLiteral("Limit"), true},     {QStringLiteral("Margin"), true},
                         {QStringLiteral("Verdict")}};
        table.VerdictColumn = 8;
        table.Cells.reserve(rows_.Rows.size() * table.Columns.size());
        table.Verdicts.reserve(rows_.Rows.size());
        for (const TReportRow& row : rows_.Rows) {
            const TVerdict& verdict = *row.Verdict;
            for (int item = 0; item < TMeasurementTable::SubItemCount; ++item)
                table.Cells.push_back(Latin1(source.SubItem(row.Row, item)));
            const TVerdictDecimals decimals = VerdictDecimals(verdict);
            table.AddRow({Decimals(verdict.Loss, decimals.Loss),
                          Decimals(verdict.Limit, decimals.Limit),
                          Decimals(verdict.Margin, decimals.Margin),
                          QString::fromLatin1(VerdictText(verdict.Kind))});
            table.Verdicts.push_back(verdict.Kind);
        }
        const bool empty = rows_.Rows.empty();
        Add(std::move(table));
        if (empty)
            Line(QStringLiteral("No rows to report."));
        Gap(14);
    }

    void Charts() {
        if (series_.empty())
            return;
        Add(Heading(QStringLiteral("Loss per fiber")));
        for (const TChartSeries& one : series_) {
            Gap(4);
            Add(TTextBlock{GroupTitle(one.WaveLength), TFontRole::BodyBold, Qt::black, true, true});
            for (TChartBlock& strip : ChartStrips(style_, *input_.Table, one))
                Add(strip);
        }
    }

    const TReportInput& input_;
    const TReportRows& rows_;
    const std::vector<TChartSeries>& series_;
    const TReportStyle& style_;
    std::vector<TReportBlock> blocks_;
};

}  // namespace

std::vector<TReportBlock> ReportBlocks(const TReportInput& input, const TReportRows& rows,
                                       const std::vector<TChartSeries>& series,
                                       const TReportStyle& style) {
    return TSections(input, rows, series, style).Take();
}
