#include "app/MeasurementModel.h"

#include "app/Latin1.h"

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

void FillMeasurementModels(const TMeraniaArray& records, TMeasurementModel& all,
                           TMeasurementModel& absolute, TMeasurementModel& relative) {
    all.beginResetModel();
    absolute.beginResetModel();
    relative.beginResetModel();
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
