#pragma once

#include <QMainWindow>
#include <memory>

class IJobDialogs;
struct TDownload;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class TJobController;
class TJobFilterModel;
class TJobResultsModel;

// The job window: the open job's results judged with the job's own budget, its downloads,
// and what it counts. It shows what the controller read and asks it for the rest.
class TfrmJob : public QMainWindow {
    Q_OBJECT

public:
    TfrmJob(TJobController& controller, std::shared_ptr<IJobDialogs> dialogs,
            QWidget* parent = nullptr);

    QLabel* lblArchive;
    QComboBox* cbFilter;
    // How many rows the filter shows ("2 of 17 rows").
    QLabel* lblRows;
    QTableView* ResultsView;
    QPlainTextEdit* edtHistory;
    QListWidget* lstDownloads;
    QPushButton* btnFix;
    QPushButton* btnVoid;
    QPushButton* btnUnvoid;
    QLabel* lblStatus;

    TJobResultsModel& Model() { return *model_; }
    TJobFilterModel& Filtered() { return *filter_; }
    QString StatusText() const;

    // F5: reads the job again.
    void Refresh();
    void VoidClick(bool isVoid);
    // Asks what to correct in the selected download and has it fixed.
    void FixClick();

private:
    void BuildLayout();
    // The selected row's re-tests and the job's downloads with their buttons.
    void BuildSidePanel(QWidget* splitter);
    void ShowSnapshot();
    void ShowDownloads();
    void ShowHistory();
    void FollowJob();
    void ShowStatus(const QString& text);
    // An operation's result; one this window asked for stays ahead of the counts it brings.
    void ShowOutcome(const QString& text);
    void ShowRowCount();
    // The download selected in the list, as last read; null, with the status line saying so,
    // when none is.
    const TDownload* SelectedDownload();

    TJobController& controller_;
    std::shared_ptr<IJobDialogs> dialogs_;
    TJobResultsModel* model_;
    TJobFilterModel* filter_;
    // Set while a void or fix of this window is on its way; its outcome, until shown with
    // the counts of the job read after it.
    bool ownAction_ = false;
    QString outcome_;
};
