#include "app/job/JobResultsModel.h"

#include <cmath>
#include <limits>

#include "app/common/Latin1.h"
#include "app/common/VerdictLook.h"
#include "data/Latin1Utf8.h"
#include "data/NumberText.h"
#include "jobs/JobReportColumns.h"
#include "jobs/JobWork.h"

namespace {

// The unit on a line of its own keeps the columns of figures narrow.
constexpr std::array<const char*, TJobResultsModel::Count> ColumnCaptions{"Cable",
                                                                          "Fiber",
                                                                          "WaveLength",
                                                                          "Loss A\u2192B\n(dB)",
                                                                          "Loss B\u2192A\n(dB)",
                                                                          "Average\n(dB)",
                                                                          "Limit\n(dB)",
                                                                          "Margin\n(dB)",
                                                                          "Verdict",
                                                                          "Power\n(dBm)"};

bool IsAbsolute(const TJobRow& row) {
    return row.Row.Shape == TRowShape::Absolute;
}

// The loss where the budget judged the reading, else the figure the meter gave.
std::optional<double> Shown(const TRowReading& reading, bool absolute) {
    if (reading.Download == 0) {
        return std::nullopt;
    }
    if (!absolute && reading.Verdict.Loss) {
        return *reading.Verdict.Loss;
    }
    return reading.Value;
}

// The reading shown in a column: a directed one in its direction's, one without a direction
// in Average, as the job's report shows them.
const TRowReading* ColumnReading(const TJobRow& row, TDirection column) {
    const TResultRow& r = row.Row;
    if (row.Untested) {
        return nullptr;
    }
    if (r.Shape == TRowShape::Pair) {
        return column == TDirection::AToB ? &r.Reading : &r.Partner;
    }
    return r.Reading.Direction == column ? &r.Reading : nullptr;
}

std::optional<double> CellFigure(const TJobRow& row, int column) {
    const TResultRow& r = row.Row;
    // A power is no loss: it stands in its own column alone.
    if (IsAbsolute(row) != (column == TJobResultsModel::Power) &&
        column != TJobResultsModel::Limit && column != TJobResultsModel::Margin) {
        return std::nullopt;
    }
    switch (column) {
        case TJobResultsModel::Power:
            return row.Untested ? std::nullopt : Shown(r.Reading, true);
        case TJobResultsModel::AToB:
        case TJobResultsModel::BToA: {
            const TRowReading* reading = ColumnReading(
                row, column == TJobResultsModel::AToB ? TDirection::AToB : TDirection::BToA);
            return reading ? Shown(*reading, IsAbsolute(row)) : std::nullopt;
        }
        case TJobResultsModel::Average: {
            if (r.Shape == TRowShape::Pair) {
                return r.Average;
            }
            const TRowReading* reading = ColumnReading(row, TDirection::None);
            return reading ? Shown(*reading, IsAbsolute(row)) : std::nullopt;
        }
        case TJobResultsModel::Limit:
            return r.Limit;
        case TJobResultsModel::Margin:
            return r.Margin;
        default:
            return std::nullopt;
    }
}

// With the decimals the row's cell shows (ColumnDecimals), two by default.
QString FigureText(double value, bool absolute, int decimals = 2) {
    return QLatin1String(FixedText(value, decimals).c_str()) +
           (absolute ? QStringLiteral(" dBm") : QStringLiteral(" dB"));
}

// "A→B: loss 0.42 dB, measured -0.42 dB (download 1)", with the digits of the reading's cell.
QString CurrentLine(const char* caption, const TResultRow& row, const TRowReading& reading,
                    std::size_t column) {
    const bool absolute = row.Shape == TRowShape::Absolute;
    const int decimals = ColumnDecimals(row, column);
    QString text = Utf8(caption) + QStringLiteral(": ");
    if (reading.Verdict.Loss && !absolute) {
        text += QStringLiteral("loss ") + FigureText(*reading.Verdict.Loss, false, decimals) +
                QStringLiteral(", ");
    }
    return text + QStringLiteral("measured %1 (download %2)\n")
                      .arg(FigureText(reading.Value, absolute, decimals),
                           QString::number(reading.Download));
}

QVariant SortKey(const TJobRow& row, int column) {
    switch (column) {
        case TJobResultsModel::Cable:
            return FromBytes(row.Row.Cable);
        case TJobResultsModel::Fiber: {
            bool number = false;
            const qulonglong value = QString::fromLatin1(row.Row.Fiber).toULongLong(&number);
            // Numbers first, in their order; other names after them by text.
            return number ? QStringLiteral("0%1").arg(value, 20, 10, QLatin1Char('0'))
                          : QStringLiteral("1") + FromBytes(row.Row.Fiber);
        }
        case TJobResultsModel::WaveLength:
            return row.Row.WaveLengthKey;
        case TJobResultsModel::Verdict:
            return row.Untested ? 0 : static_cast<int>(row.Row.Kind);
        default: {
            const std::optional<double> figure = CellFigure(row, column);
            return figure ? *figure : std::numeric_limits<double>::max();
        }
    }
}

}  // namespace

std::vector<TJobRow> JobRows(const TJobResults& results) {
    std::vector<TJobRow> rows;
    rows.reserve(results.Rows.size());
    for (const TResultRow& row : results.Rows) {
        rows.push_back({row, false});
    }
    for (const TCableCompleteness& cable : results.Completeness.Cables) {
        for (const std::string& fiber : cable.Untested) {
            TJobRow untested;
            untested.Untested = true;
            untested.Row.Cable = Utf8ToLatin1(cable.Cable).value_or(cable.Cable);
            untested.Row.Fiber = fiber;
            rows.push_back(std::move(untested));
        }
    }
    return rows;
}

QString JobCellText(const TJobRow& row, int column) {
    const TResultRow& r = row.Row;
    switch (column) {
        case TJobResultsModel::Cable:
            return FromBytes(r.Cable);
        case TJobResultsModel::Fiber:
            return FromBytes(r.Fiber);
        case TJobResultsModel::WaveLength:
            return row.Untested ? QString() : QString::number(r.WaveLengthKey);
        case TJobResultsModel::Verdict:
            if (row.Untested) {
                return QStringLiteral("UNTESTED");
            }
            return QLatin1String(VerdictText(r.Kind));
        default:
            break;
    }
    const std::optional<double> figure = CellFigure(row, column);
    if (!figure) {
        return {};
    }
    // The digits the job's report shows: the window's columns are the report's.
    static_assert(static_cast<std::size_t>(TJobResultsModel::AToB) == AToBColumn &&
                  static_cast<std::size_t>(TJobResultsModel::Margin) == MarginColumn);
    const std::size_t reportColumn = column == TJobResultsModel::Power
                                         ? DirectionColumn(r.Reading.Direction)
                                         : static_cast<std::size_t>(column);
    return QLatin1String(FixedText(*figure, ColumnDecimals(r, reportColumn)).c_str());
}

// A re-test in the table's figures: its loss ("A→B: loss 0.95 dB (download 1)"), or an
// absolute reading's power ("A→B: -3.10 dBm (download 1)").
QString JobRowHistory(const TJobRow& row) {
    if (row.Row.History.empty()) {
        return QStringLiteral("No re-tests");
    }
    QString text;
    for (const THistoryReading& earlier : row.Row.History) {
        const bool loss = !IsAbsolute(row) && earlier.Loss;
        text +=
            Utf8(DirectionCaption(earlier.Direction)) + QStringLiteral(": ") +
            (loss ? QStringLiteral("loss ") +
                        FigureText(*earlier.Loss, false, LossDecimals(*earlier.Loss, row.Row.Limit))
                  : FigureText(earlier.Value, IsAbsolute(row))) +
            QStringLiteral(" (download %1)\n").arg(earlier.Download);
    }
    return text.trimmed();
}

QString JobRowToolTip(const TJobRow& row) {
    if (row.Untested) {
        return QStringLiteral("Fibre %1 of cable %2 has no reading yet")
            .arg(FromBytes(row.Row.Fiber), FromBytes(row.Row.Cable));
    }
    const TResultRow& r = row.Row;
    QString text;
    if (r.Shape == TRowShape::Pair) {
        text += CurrentLine("A\u2192B", r, r.Reading, AToBColumn);
        text += CurrentLine("B\u2192A", r, r.Partner, BToAColumn);
        // The pair's limit, margin and verdict are those of the figure its pair rule takes.
        const TVerdict pair{r.Kind, r.Loss, r.Limit, r.Margin};
        if (r.WorseDirection == TDirection::None) {
            text +=
                QStringLiteral("Judged by the average:\n") +
                VerdictToolTip(pair).replace(QStringLiteral("Loss: "), QStringLiteral("Average: "));
        } else {
            if (r.Average) {
                text += QStringLiteral("Average: ") +
                        FigureText(*r.Average, false, ColumnDecimals(r, AverageColumn)) +
                        QLatin1Char('\n');
            }
            text += QStringLiteral("Judged by the worse direction, %1:\n")
                        .arg(Utf8(DirectionCaption(r.WorseDirection))) +
                    VerdictToolTip(pair);
        }
    } else {
        text += CurrentLine(DirectionCaption(r.Reading.Direction), r, r.Reading,
                            DirectionColumn(r.Reading.Direction));
        text += VerdictToolTip(r.Reading.Verdict);
        if (r.Shape == TRowShape::OneDirection) {
            text += QStringLiteral("\nOne direction only: the other is not tested");
        }
    }
    if (!r.History.empty()) {
        text += QStringLiteral("\nRe-tested; earlier:\n") + JobRowHistory(row);
    }
    return text;
}

void TJobResultsModel::SetRows(std::vector<TJobRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int TJobResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TJobResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count;
}

QVariant TJobResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) {
        return {};
    }
    const TJobRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return JobCellText(row, index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::AlignVCenter |
                (index.column() >= WaveLength ? Qt::AlignHCenter : Qt::AlignLeft));
        case Qt::BackgroundRole:
            return row.Untested ? QVariant() : VerdictBackground(row.Row.Kind);
        case Qt::ToolTipRole:
            return JobRowToolTip(row);
        case SortRole:
            return SortKey(row, index.column());
        default:
            return {};
    }
}

QVariant TJobResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= Count ||
        role != Qt::DisplayRole) {
        return {};
    }
    return Utf8(ColumnCaptions[static_cast<std::size_t>(section)]);
}

TJobFilterModel::TJobFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(TJobResultsModel::SortRole);
}

void TJobFilterModel::SetFilter(TJobFilter filter) {
    filter_ = filter;
    invalidateFilter();
}

bool TJobFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto* model = static_cast<const TJobResultsModel*>(sourceModel());
    const TJobRow& row = model->Rows().at(static_cast<std::size_t>(sourceRow));
    switch (filter_) {
        case TJobFilter::All:
            return true;
        case TJobFilter::Fail:
            return !row.Untested && row.Row.Kind == TVerdictKind::Fail;
        case TJobFilter::Check:
            return !row.Untested && row.Row.Kind == TVerdictKind::Check;
        case TJobFilter::OneDirection:
            return !row.Untested && row.Row.Shape == TRowShape::OneDirection;
        case TJobFilter::Untested:
            return row.Untested;
    }
    return true;
}
