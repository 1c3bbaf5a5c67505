// The Job menu: the job in the archive, the records shown added to it, and the job window.
#include "app/job/JobMenu.h"

#include <QAction>
#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "app/common/FileDialogs.h"
#include "app/common/Latin1.h"
#include "app/common/MeridaxApplication.h"
#include "app/job/AddProposal.h"
#include "app/job/JobController.h"
#include "app/job/JobDialogs.h"
#include "app/job/JobProperties.h"
#include "app/job/JobSettings.h"
#include "app/job/frmJob.h"

namespace {

// The most the status line's job name takes of the fixed-width window.
constexpr int OpenJobLabelWidth = 240;

QAction* AddJobAction(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

}  // namespace

TJobMenu::TJobMenu(QMainWindow& window, IJobMenuHost& host, TJobMenuOptions options)
    : window_(window), host_(host), options_(std::move(options)) {
    if (!options_.Dialogs) {
        options_.Dialogs = std::make_shared<TQtJobDialogs>();
    }
    Menu = window_.menuBar()->addMenu(QStringLiteral("&Job"));
    Menu->setObjectName(QStringLiteral("JobMenu"));
    actNewJob = AddJobAction(Menu, "actNewJob", QStringLiteral("New job\u2026"));
    actOpenJob = AddJobAction(Menu, "actOpenJob", QStringLiteral("Open job\u2026"));
    actArchive = AddJobAction(Menu, "actArchive", QStringLiteral("Archive\u2026"));
    actShowJob = AddJobAction(Menu, "actShowJob", QStringLiteral("Show job"));
    actShowJob->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    Menu->addSeparator();
    actAddToJob = AddJobAction(Menu, "actAddToJob", QStringLiteral("Add to job"));
    actJobReport = AddJobAction(Menu, "actJobReport", QStringLiteral("Job report (PDF)\u2026"));
    actExportJob = AddJobAction(Menu, "actExportJob", QStringLiteral("Export job\u2026"));
    actSyncJob = AddJobAction(Menu, "actSyncJob", QStringLiteral("Sync with\u2026"));
    actJobProperties =
        AddJobAction(Menu, "actJobProperties", QStringLiteral("Job properties\u2026"));
    Menu->addSeparator();
    actStopWaiting =
        AddJobAction(Menu, "actStopWaiting", QStringLiteral("Stop waiting for the archive"));
    actStopWaiting->setEnabled(false);

    settings_ = std::make_unique<TJobSettings>(options_.SettingsFile);
    controller_ = std::make_unique<TJobController>();
    // A result ends any wait for another program that the status line told of.
    const auto showStatus = [this](const QString& text) {
        actStopWaiting->setEnabled(false);
        host_.ShowStatusText(text);
    };
    connect(controller_.get(), &TJobController::Status, this, showStatus);
    connect(controller_.get(), &TJobController::Failed, this, showStatus);
    connect(controller_.get(), &TJobController::Progress, this, showStatus);
    connect(controller_.get(), &TJobController::Waiting, this, [this](const QString& text) {
        actStopWaiting->setEnabled(true);
        host_.ShowStatusText(text);
    });
    connect(controller_.get(), &TJobController::JobChanged, this, &TJobMenu::EnableCommands);
    lblOpenJob = new QLabel(&window_);
    lblOpenJob->setObjectName(QStringLiteral("lblOpenJob"));
    window_.statusBar()->addPermanentWidget(lblOpenJob);
    connect(controller_.get(), &TJobController::JobChanged, this, &TJobMenu::ShowOpenJob);
    connect(controller_.get(), &TJobController::OpenFailed, this, &TJobMenu::ArchiveOpenFailed);
    ConnectActions();
    EnableCommands();
    ShowOpenJob();
}

TJobMenu::~TJobMenu() {
    // The job window goes before the job it shows; the job's thread ends with it.
    frmJob_.reset();
    controller_.reset();
}

void TJobMenu::ConnectActions() {
    auto command = [this](void (TJobMenu::*handler)()) {
        return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
    };
    connect(actNewJob, &QAction::triggered, this, command(&TJobMenu::NewJobClick));
    connect(actOpenJob, &QAction::triggered, this, command(&TJobMenu::OpenJobClick));
    connect(actArchive, &QAction::triggered, this, command(&TJobMenu::ArchiveClick));
    connect(actAddToJob, &QAction::triggered, this, command(&TJobMenu::AddToJobClick));
    connect(actExportJob, &QAction::triggered, this, command(&TJobMenu::ExportJobClick));
    connect(actSyncJob, &QAction::triggered, this, command(&TJobMenu::SyncJobClick));
    connect(actJobReport, &QAction::triggered, this, command(&TJobMenu::JobReportClick));
    connect(actJobProperties, &QAction::triggered, this, command(&TJobMenu::JobPropertiesClick));
    connect(actStopWaiting, &QAction::triggered, this, command(&TJobMenu::StopWaitingClick));
    connect(actShowJob, &QAction::triggered, this, command(&TJobMenu::ShowJobClick));
}

void TJobMenu::ArchiveOpenFailed(const QString& message) {
    if (passwordAsked_ || settings_->HasPassword() || !IsPostgresLocation(settings_->Location()) ||
        !message.contains(QStringLiteral("password"), Qt::CaseInsensitive)) {
        return;
    }
    passwordAsked_ = true;
    const std::optional<std::string> password =
        options_.Dialogs->AskPassword(&window_, controller_->ShownArchive());
    if (!password) {
        return;
    }
    settings_->SetPassword(*password);
    controller_->UseArchive(settings_->Location());
    host_.ShowStatusText(QStringLiteral("Archive: %1; the password is kept until the program ends")
                             .arg(controller_->ShownArchive()));
}

void TJobMenu::UseArchive() {
    if (!controller_->HasArchive()) {
        controller_->UseArchive(settings_->Location());
    }
}

void TJobMenu::EnableCommands() {
    const bool open = controller_->HasJob();
    actAddToJob->setEnabled(open && !host_.ShownRecords().empty() &&
                            !host_.RecordsSource().empty());
    actJobReport->setEnabled(open);
    actExportJob->setEnabled(open);
    actSyncJob->setEnabled(open);
    actJobProperties->setEnabled(open);
    actShowJob->setEnabled(open);
}

void TJobMenu::ShowOpenJob() {
    ShowOpenJobText();
    // Never narrower than its text, also before the status line is laid out again.
    lblOpenJob->setMinimumWidth(lblOpenJob->sizeHint().width());
    lblOpenJob->adjustSize();
}

void TJobMenu::ShowOpenJobText() {
    const QString archive = controller_->HasArchive()
                                ? QStringLiteral("Archive: %1").arg(controller_->ShownArchive())
                                : QString();
    if (!controller_->HasJob()) {
        lblOpenJob->setText(QStringLiteral("No job open"));
        lblOpenJob->setToolTip(archive);
        return;
    }
    // A long name is cut in the middle so that the status line keeps room for its messages;
    // the tooltip has it whole.
    const QString shown = QStringLiteral("Job: %1").arg(Utf8(controller_->JobName()));
    lblOpenJob->setText(
        lblOpenJob->fontMetrics().elidedText(shown, Qt::ElideMiddle, OpenJobLabelWidth));
    lblOpenJob->setToolTip(shown + QLatin1Char('\n') + archive);
}

void TJobMenu::ShowJobClick() {
    if (!controller_->HasJob()) {
        host_.ShowStatusText(QStringLiteral("No job open: make or open one first"));
        return;
    }
    ShowJobWindow();
}

bool TJobMenu::eventFilter(QObject* watched, QEvent* event) {
    if (frmJob_ && watched == frmJob_.get() && event->type() == QEvent::Close) {
        jobWindowGeometry_ = frmJob_->saveGeometry();
    }
    return QObject::eventFilter(watched, event);
}

void TJobMenu::ShowJobWindow() {
    if (!frmJob_) {
        frmJob_ = std::make_unique<TfrmJob>(*controller_, options_.Dialogs);
        frmJob_->installEventFilter(this);
    }
    // A window manager may place a window shown again anew: it goes back where it was.
    if (frmJob_->isHidden() && !jobWindowGeometry_.isEmpty()) {
        frmJob_->restoreGeometry(jobWindowGeometry_);
    }
    frmJob_->show();
    frmJob_->raise();
}

void TJobMenu::CloseJobWindow() {
    if (frmJob_) {
        frmJob_->close();
    }
}

void TJobMenu::NewJobClick() {
    const std::optional<TJob> job = options_.Dialogs->AskNewJob(&window_);
    if (!job) {
        return;
    }
    UseArchive();
    ShowJobWindow();
    controller_->CreateJob(*job);
}

void TJobMenu::OpenJobClick() {
    UseArchive();
    host_.ShowStatusText(
        QStringLiteral("Listing the jobs of %1\u2026").arg(controller_->ShownArchive()));
    controller_->ListJobs([this](std::vector<TJobEntry> entries) {
        if (entries.empty()) {
            host_.ShowStatusText(QStringLiteral("No jobs in %1: make one with New job\u2026")
                                     .arg(controller_->ShownArchive()));
            return;
        }
        // The list is there: the status line no longer says it is coming.
        host_.ShowStatusText(QString());
        const std::optional<std::string> name =
            options_.Dialogs->AskOpenJob(&window_, entries, controller_->JobName());
        if (!name) {
            return;
        }
        ShowJobWindow();
        controller_->OpenJob(*name);
        host_.ShowStatusText(QStringLiteral("Opened job %1").arg(Utf8(*name)));
    });
}

void TJobMenu::ArchiveClick() {
    const std::optional<TArchiveChoice> choice =
        options_.Dialogs->AskArchive(&window_, settings_->Stored());
    if (!choice) {
        return;
    }
    if (choice->SaveCopy) {
        SaveCopy();
        return;
    }
    if (choice->Kind != TArchiveChoice::TKind::Default && choice->Location.empty()) {
        host_.ShowStatusText(QStringLiteral("Archive not changed: no file or URI given"));
        return;
    }
    // Only the user's word makes an archive of a name that may be mistyped.
    TArchiveCreation creation = TArchiveCreation::MustExist;
    if (choice->Kind == TArchiveChoice::TKind::File && ArchiveFileMissing(choice->Location)) {
        if (!options_.Dialogs->AskMakeArchive(&window_, Utf8(choice->Location))) {
            host_.ShowStatusText(QStringLiteral("Archive not changed: no archive at %1")
                                     .arg(Utf8(choice->Location)));
            return;
        }
        creation = TArchiveCreation::MayCreate;
    }
    settings_->Store(*choice);
    passwordAsked_ = false;
    controller_->UseArchive(settings_->Location(), creation);
    host_.ShowStatusText(QStringLiteral("Archive: %1").arg(controller_->ShownArchive()));
}

void TJobMenu::SaveCopy() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        &window_, QStringLiteral("Save a copy of the archive"),
        QStringLiteral("SQLite archive (*.sqlite)"), "sqlite");
    if (!fileName) {
        return;
    }
    UseArchive();
    host_.ShowStatusText(
        QStringLiteral("Saving a copy of the archive %1\u2026").arg(controller_->ShownArchive()));
    controller_->SaveCopy(ToFileName(*fileName));
}

void TJobMenu::StopWaitingClick() {
    controller_->StopWaiting();
    actStopWaiting->setEnabled(false);
}

void TJobMenu::AddToJobClick() {
    EnableCommands();
    if (!actAddToJob->isEnabled()) {
        host_.ShowStatusText(
            controller_->HasJob()
                ? QStringLiteral("Nothing to add: import or open measurements first")
                : QStringLiteral("No job open: make or open one first"));
        return;
    }
    host_.ShowStatusText(QStringLiteral("Reading job %1\u2026").arg(Utf8(controller_->JobName())));
    controller_->ReadDownloads(
        [this](std::vector<TDownload> downloads) { RunCommand([&] { AskAndAdd(downloads); }); });
}

void TJobMenu::AskAndAdd(const std::vector<TDownload>& downloads) {
    host_.ShowStatusText(QString());
    // The records shown may have changed while the job was read.
    EnableCommands();
    if (!actAddToJob->isEnabled()) {
        return;
    }
    // A copy: an import may replace the records shown while the dialog is open, and the
    // answers are for these.
    const TMeraniaArray shown = host_.ShownRecords();
    const std::string meter = host_.RecordsMeter();
    const std::string source = host_.RecordsSource();
    TAddContext context;
    context.JobName = Utf8(controller_->JobName());
    context.WhatText = QStringLiteral("%1 readings: all records of this import").arg(shown.size());
    context.Proposed = ProposeAddAnswers(downloads, shown, addAnswers_, QDate::currentDate());
    context.Warning = [&downloads, &shown](TDirection direction) {
        return RetestWarning(downloads, shown, direction, QDateTime::currentDateTimeUtc());
    };
    const std::optional<TAddAnswers> answers = options_.Dialogs->AskAddToJob(&window_, context);
    if (!answers) {
        return;
    }
    addAnswers_ = *answers;
    host_.ShowStatusText(QStringLiteral("Adding %1 measurements to job %2\u2026")
                             .arg(QString::number(shown.size()), Utf8(controller_->JobName())));
    controller_->AddRecords(shown, meter, source, addAnswers_);
}

void TJobMenu::ExportJobClick() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        &window_, QStringLiteral("Export job"), QStringLiteral("Job document (*.json)"), "json");
    if (!fileName) {
        return;
    }
    controller_->ExportJob(ToFileName(*fileName));
}

void TJobMenu::SyncJobClick() {
    if (!controller_->HasJob()) {
        host_.ShowStatusText(QStringLiteral("No job open: make or open one first"));
        return;
    }
    const std::optional<TArchiveChoice> choice =
        options_.Dialogs->AskSyncWith(&window_, Utf8(controller_->JobName()));
    if (!choice) {
        return;
    }
    if (choice->Kind == TArchiveChoice::TKind::Default || choice->Location.empty()) {
        host_.ShowStatusText(QStringLiteral("Not synced: no file or URI given"));
        return;
    }
    // The password is for this sync alone: it is neither stored nor kept.
    controller_->SyncJob(choice->Password.empty()
                             ? choice->Location
                             : UriWithPassword(choice->Location, choice->Password));
}

void TJobMenu::JobReportClick() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        &window_, QStringLiteral("Job report"), QStringLiteral("PDF (*.pdf)"), "pdf");
    if (!fileName) {
        return;
    }
    host_.ShowStatusText(
        QStringLiteral("Writing the report of job %1\u2026").arg(Utf8(controller_->JobName())));
    controller_->WriteReport(ToFileName(*fileName));
}

void TJobMenu::JobPropertiesClick() {
    // Held: a refresh while the dialog is open replaces the controller's, and the changes are
    // made against what the dialog showed.
    const std::shared_ptr<const TJobSnapshot> snapshot = controller_->Snapshot();
    if (!snapshot) {
        host_.ShowStatusText(
            QStringLiteral("Job %1 is still being read").arg(Utf8(controller_->JobName())));
        return;
    }
    const std::optional<TBudget>& windowBudget = host_.WindowBudget();
    const std::optional<TJobProperties> properties = options_.Dialogs->AskJobProperties(
        &window_, snapshot->Job,
        windowBudget ? std::optional<QString>(BudgetCaption(*windowBudget)) : std::nullopt);
    if (!properties) {
        return;
    }
    try {
        controller_->ChangeJob(JobPropertiesChanges(*properties, snapshot->Job, windowBudget));
    } catch (const std::exception& e) {
        host_.ShowStatusText(QStringLiteral("Job not changed: ") + FromBytes(e.what()));
    }
}
