#include "app/main/MeasurementModel.h"

#include <QColor>
#include <stdexcept>
#include <utility>

#include "app/common/Latin1.h"
#include "app/common/VerdictLook.h"

namespace {

constexpr int CheckColumn = 0;

bool Centred(int column) {
    return column >= 3;
}

}  // namespace

TMeasurementModel::TMeasurementModel(TTablePage page, QObject* parent)
    : QAbstractTableModel(parent), table_(page) {}

int TMeasurementModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.RowCount());
}

int TMeasurementModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : TMeasurementTable::ColumnCount;
}

QVariant TMeasurementModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            if (column == CheckColumn) {
                return {};
            }
            return FromBytes(table_.SubItem(row, column - 1));
        case Qt::CheckStateRole:
            if (column != CheckColumn) {
                return {};
            }
            return table_.Checked(row) ? Qt::Checked : Qt::Unchecked;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (Centred(column) ? Qt::AlignHCenter : Qt::AlignLeft));
        case Qt::BackgroundRole:
            if (const TVerdict* verdict = RowVerdict(row)) {
                return VerdictBackground(verdict->Kind);
            }
            return {};
        case Qt::ToolTipRole:
            if (const TVerdict* verdict = RowVerdict(row)) {
                return VerdictToolTip(*verdict);
            }
            return {};
        default:
            return {};
    }
}

bool TMeasurementModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != CheckColumn || role != Qt::CheckStateRole) {
        return false;
    }
    SetChecked(static_cast<std::size_t>(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

QVariant TMeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return FromBytes(table_.Caption(section));
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (Centred(section) ? Qt::AlignHCenter : Qt::AlignLeft));
    }
    return {};
}

Qt::ItemFlags TMeasurementModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == CheckColumn) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

void TMeasurementModel::SetAllChecked(bool checked) {
    table_.SetAllChecked(checked);
    if (table_.RowCount() > 0) {
        emit dataChanged(index(0, CheckColumn), index(rowCount() - 1, CheckColumn),
                         {Qt::CheckStateRole});
    }
}

void TMeasurementModel::SetChecked(std::size_t row, bool checked) {
    table_.SetChecked(row, checked);
    const QModelIndex changed = index(static_cast<int>(row), CheckColumn);
    emit dataChanged(changed, changed, {Qt::CheckStateRole});
}

void TMeasurementModel::SetVerdicts(std::shared_ptr<const std::vector<TVerdict>> verdicts,
                                    const TMeraniaArray& records) {
    DropVerdicts();
    if (verdicts && verdicts->size() == records.size()) {
        if (table_.Page() != TTablePage::All) {
            const bool relative = table_.Page() == TTablePage::Relative;
            rowRecords_.reserve(table_.RowCount());
            for (std::size_t index = 0; index < records.size(); ++index) {
                if (records[index].IsRelative == relative) {
                    rowRecords_.push_back(static_cast<std::uint32_t>(index));
                }
            }
        }
        // Rows and records that do not pair up get no verdicts rather than wrong ones.
        const std::size_t rows =
            table_.Page() == TTablePage::All ? records.size() : rowRecords_.size();
        if (rows == table_.RowCount()) {
            verdicts_ = std::move(verdicts);
        } else {
            rowRecords_.clear();
        }
    }
    if (table_.RowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    }
}

const TVerdict* TMeasurementModel::RowVerdict(std::size_t row) const {
    if (!verdicts_ || row >= table_.RowCount()) {
        return nullptr;
    }
    const TVerdict& verdict =
        (*verdicts_)[table_.Page() == TTablePage::All ? row : rowRecords_[row]];
    return verdict.Kind == TVerdictKind::None ? nullptr : &verdict;
}

void TMeasurementModel::DropVerdicts() noexcept {
    verdicts_.reset();
    rowRecords_.clear();
    rowRecords_.shrink_to_fit();
}

void FillMeasurementModels(const TMeraniaArray& records, TMeasurementModel& all,
                           TMeasurementModel& absolute, TMeasurementModel& relative) {
    all.beginResetModel();
    absolute.beginResetModel();
    relative.beginResetModel();
    all.DropVerdicts();
    absolute.DropVerdicts();
    relative.DropVerdicts();
    try {
        FillMeasurementTables(records, all.table_, absolute.table_, relative.table_);
    } catch (...) {
        all.table_.Clear();
        absolute.table_.Clear();
        relative.table_.Clear();
        all.endResetModel();
        absolute.endResetModel();
        relative.endResetModel();
        throw;
    }
    all.endResetModel();
    absolute.endResetModel();
    relative.endResetModel();
}

void TakeMeasurementTables(std::array<TMeasurementTable, 3>&& tables, TMeasurementModel& all,
                           TMeasurementModel& absolute, TMeasurementModel& relative) {
    const std::array<TMeasurementModel*, 3> models{&all, &absolute, &relative};
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (tables[i].Page() != models[i]->table_.Page()) {
            throw std::invalid_argument("a table of another page");
        }
    }
    for (std::size_t i = 0; i < models.size(); ++i) {
        models[i]->beginResetModel();
        models[i]->DropVerdicts();
        // The old rows go with the moved-from table, in one free of a few buffers.
        std::swap(models[i]->table_, tables[i]);
        models[i]->endResetModel();
    }
}
