#pragma once

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/MeasurementTable.h"
#include "data/uMeranie.h"
#include "verdict/Verdict.h"

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

    // With a budget set: the verdicts of records, one per record and shared by the three
    // models, which records the rows were filled from. A row with a verdict is drawn on a
    // pale colour with the figures as its tooltip; nullptr takes them away. A refill drops
    // them.
    void SetVerdicts(std::shared_ptr<const std::vector<TVerdict>> verdicts,
                     const TMeraniaArray& records);
    // The row's verdict; nullptr when it has none.
    const TVerdict* RowVerdict(std::size_t row) const;

    // SetAllItemsChecked: one change notice for the whole check column.
    void SetAllChecked(bool checked);
    void SetChecked(std::size_t row, bool checked);

    // A refill of the three tables is one model reset each.
    friend void FillMeasurementModels(const TMeraniaArray& records, TMeasurementModel& all,
                                      TMeasurementModel& absolute, TMeasurementModel& relative);
    // The same with tables filled elsewhere (a worker): they are moved in, nothing is
    // copied, so a million rows cost the window thread no more than a few. Each table must
    // be of its model's page.
    friend void TakeMeasurementTables(std::array<TMeasurementTable, 3>&& tables,
                                      TMeasurementModel& all, TMeasurementModel& absolute,
                                      TMeasurementModel& relative);

private:
    void DropVerdicts() noexcept;

    TMeasurementTable table_;
    std::shared_ptr<const std::vector<TVerdict>> verdicts_;
    // Row to record on the absolute and relative pages; the all page's rows are the records.
    std::vector<std::uint32_t> rowRecords_;
};
