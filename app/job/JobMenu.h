#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "data/uMeranie.h"
#include "jobs/JobTypes.h"
#include "jobs/JobWork.h"
#include "verdict/Budget.h"

class IFileDialogs;
class IJobDialogs;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class TJobController;
class TJobSettings;
class TfrmJob;

// What the Job menu takes of the window it sits in: the records shown, the meter's line and
// the status line.
class IJobMenuHost {
public:
    virtual ~IJobMenuHost() = default;
    // The records the tables show.
    virtual const TMeraniaArray& ShownRecords() const = 0;
    // Where they came from (a file or a port); empty when no import or opened file filled the
    // tables, and then there is nothing to add to a job.
    virtual const std::string& RecordsSource() const = 0;
    // The meter's name line when they came from one; empty otherwise.
    virtual const std::string& RecordsMeter() const = 0;
    // Shows a text (UTF-8, as the archive's texts are) on the status line as it is.
    virtual void ShowStatusText(const QString& text) = 0;
    // The loss budget the window judges its rows by; none when it has none.
    virtual const std::optional<TBudget>& WindowBudget() const = 0;
};

// Where the Job menu's questions come from; every member has a production default.
struct TJobMenuOptions {
    // The Job menu's questions; null: Qt's dialogs.
    std::shared_ptr<IJobDialogs> Dialogs;
    // The save dialogs of the job's report and export.
    std::shared_ptr<IFileDialogs> FileDialogs;
    // Where the menu keeps the archive chosen; empty: the user's own settings.
    QString SettingsFile;
};

// The Job menu of the main window: the job in the archive, the records shown added to it,
// and the job window. It owns its actions, the job's controller, the archive's settings and
// the add's answers. Each command posts its work to the archive's thread; the result shows
// in the status lines when it comes back.
class TJobMenu : public QObject {
    Q_OBJECT

public:
    // Adds the menu to window's menu bar; window owns the menu's dialogs.
    TJobMenu(QMainWindow& window, IJobMenuHost& host, TJobMenuOptions options);
    ~TJobMenu() override;
    TJobMenu(const TJobMenu&) = delete;
    TJobMenu& operator=(const TJobMenu&) = delete;

    QMenu* Menu;
    QAction* actNewJob;
    QAction* actOpenJob;
    QAction* actArchive;
    QAction* actAddToJob;
    QAction* actJobReport;
    QAction* actExportJob;
    QAction* actSyncJob;
    QAction* actJobProperties;
    QAction* actStopWaiting;
    // Shows the job window again, where it was (Ctrl+J).
    QAction* actShowJob;
    // The status line's lasting word on the open job, its archive in the tooltip.
    QLabel* lblOpenJob;

    // What each action does (each ends with an exception on failure; the actions run them
    // under the application's default error handler).
    void NewJobClick();
    void OpenJobClick();
    void ArchiveClick();
    void AddToJobClick();
    void ExportJobClick();
    // Asks for the other archive and syncs the open job with it.
    void SyncJobClick();
    void JobReportClick();
    void JobPropertiesClick();
    void StopWaitingClick();
    void ShowJobClick();

    TJobController& Controller() { return *controller_; }
    // The job window; made when a job is first made or opened.
    TfrmJob* JobWindow() { return frmJob_.get(); }

    // Enables the commands that need an open job, and Add to job when there is something to
    // add; the window calls it whenever the records shown change.
    void EnableCommands();
    // The main window closes, and the job window with it.
    void CloseJobWindow();

private:
    void ConnectActions();
    // Asks where and writes a copy of the archive in use.
    void SaveCopy();
    // Opens the archive chosen unless one is open.
    void UseArchive();
    void ShowJobWindow();
    // Asks the add's answers from the job's downloads, then adds the records shown.
    void AskAndAdd(const std::vector<TDownload>& downloads);
    // The open job in the status line; ShowOpenJobText sets its texts alone.
    void ShowOpenJob();
    void ShowOpenJobText();
    // Keeps the job window's place when it closes, for Show job.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A database that wants a password gets one asked once per run.
    void ArchiveOpenFailed(const QString& message);

    QMainWindow& window_;
    IJobMenuHost& host_;
    TJobMenuOptions options_;
    std::unique_ptr<TJobSettings> settings_;
    // The job and its archive's thread; the job window shows what it reads.
    std::unique_ptr<TJobController> controller_;
    std::unique_ptr<TfrmJob> frmJob_;
    // The add's answers, offered again at the next add.
    TAddAnswers addAnswers_;
    bool passwordAsked_ = false;
    QByteArray jobWindowGeometry_;
};
