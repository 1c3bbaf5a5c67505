#pragma once

#include <QAbstractTableModel>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"

// One measurement view's rows as the table widget shows them. The model holds the core's
// plain table, so saving and exporting read the very rows and ticks the user sees.
class TMeasurementModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TMeasurementModel(TTablePage page, QObject* parent = nullptr);

    const TMeasurementTable& Table() const noexcept { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // SetAllItemsChecked: one change notice for the whole check column.
    void SetAllChecked(bool checked);
    void SetChecked(std::size_t row, bool checked);

    // A refill of the three tables is one model reset each.
    friend void FillMeasurementModels(const TMeraniaArray& records, TMeasurementModel& all,
                                      TMeasurementModel& absolute, TMeasurementModel& relative);

private:
    TMeasurementTable table_;
};
