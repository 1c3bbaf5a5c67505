#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

#include "jobs/JobResults.h"

// One line of the job window: a result row, or a fibre the job expects that no row tests.
struct TJobRow {
    TResultRow Row;
    bool Untested = false;
};

// The rows of a job's results (then its untested fibres) in the order given.
std::vector<TJobRow> JobRows(const TJobResults& results);

// The job's rows as the job window's table shows them, over a plain vector.
class TJobResultsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The losses' columns are the job report's (JobReportColumns.h); an absolute reading's
    // power has a column of its own, after them, which the window shows before A→B.
    enum TColumn {
        Cable,
        Fiber,
        WaveLength,
        AToB,
        BToA,
        Average,
        Limit,
        Margin,
        Verdict,
        Power,
        Count
    };
    // The key a column sorts by: numbers as numbers, an empty cell after every figure.
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<TJobRow> rows);
    const std::vector<TJobRow>& Rows() const noexcept { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<TJobRow> rows_;
};

// A row's cell as shown ("0.42", a power "-3.10", "" for none); the unit is the column's.
QString JobCellText(const TJobRow& row, int column);
// A row's figures, readings, the downloads they came from and its re-tests.
QString JobRowToolTip(const TJobRow& row);
// The re-tests of a row, one line each, oldest first; "No re-tests" without.
QString JobRowHistory(const TJobRow& row);

// Which rows the job window shows.
enum class TJobFilter { All, Fail, Check, OneDirection, Untested };

class TJobFilterModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit TJobFilterModel(QObject* parent = nullptr);
    void SetFilter(TJobFilter filter);
    TJobFilter Filter() const noexcept { return filter_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    TJobFilter filter_ = TJobFilter::All;
};
