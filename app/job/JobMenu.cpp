// The Job menu: the job in the archive, the records shown added to it, and the job window.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/common/FileDialogs.h"
#include "app/common/Latin1.h"
#include "app/common/MeridaxApplication.h"
#include "app/common/PlainText.h"
#include "app/job/JobController.h"
#include "app/job/JobDialogs.h"
#include "app/job/JobProperties.h"
#include "app/job/JobSettings.h"
#include "app/job/frmJob.h"
#include "app/main/frmMain.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"

namespace {

QAction* AddAction(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

}  // namespace

void TfrmMain::BuildJobMenu() {
    JobMenu = menuBar()->addMenu(QStringLiteral("Job"));
    JobMenu->setObjectName(QStringLiteral("JobMenu"));
    NewJob1 = AddAction(JobMenu, "NewJob1", QStringLiteral("New job\u2026"));
    OpenJob1 = AddAction(JobMenu, "OpenJob1", QStringLiteral("Open job\u2026"));
    Archive1 = AddAction(JobMenu, "Archive1", QStringLiteral("Archive\u2026"));
    JobMenu->addSeparator();
    AddToJob1 = AddAction(JobMenu, "AddToJob1", QStringLiteral("Add to job"));
    JobReport1 = AddAction(JobMenu, "JobReport1", QStringLiteral("Job report (PDF)\u2026"));
    ExportJob1 = AddAction(JobMenu, "ExportJob1", QStringLiteral("Export job\u2026"));
    JobProperties1 = AddAction(JobMenu, "JobProperties1", QStringLiteral("Job properties\u2026"));
}

void TfrmMain::ConnectJobs() {
    if (!options_.JobDialogs) {
        options_.JobDialogs = std::make_shared<TQtJobDialogs>();
    }
    jobSettings_ = std::make_unique<TJobSettings>(options_.JobSettingsFile);
    jobs_ = new TJobController(this);
    connect(jobs_, &TJobController::Status, this, &TfrmMain::ShowStatusText);
    connect(jobs_, &TJobController::Failed, this, &TfrmMain::ShowStatusText);
    connect(jobs_, &TJobController::JobChanged, this, &TfrmMain::FollowJob);
    connect(jobs_, &TJobController::OpenFailed, this, &TfrmMain::ArchiveOpenFailed);
    auto command = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
    };
    connect(NewJob1, &QAction::triggered, this, command(&TfrmMain::NewJob1Click));
    connect(OpenJob1, &QAction::triggered, this, command(&TfrmMain::OpenJob1Click));
    connect(Archive1, &QAction::triggered, this, command(&TfrmMain::Archive1Click));
    connect(AddToJob1, &QAction::triggered, this, command(&TfrmMain::AddToJob1Click));
    connect(ExportJob1, &QAction::triggered, this, command(&TfrmMain::ExportJob1Click));
    connect(JobReport1, &QAction::triggered, this, command(&TfrmMain::JobReport1Click));
    connect(JobProperties1, &QAction::triggered, this, command(&TfrmMain::JobProperties1Click));
    FollowJob();
}

void TfrmMain::ShowStatusText(const QString& text) {
    // Archive texts are UTF-8: they go to the line as they are, not through Latin-1.
    statusText_ = text;
    lblStatus->setToolTip(PlainToolTip(statusText_, true));
    ElideStatus();
}

void TfrmMain::ArchiveOpenFailed(const QString& message) {
    if (passwordAsked_ || jobSettings_->HasPassword() ||
        !IsPostgresLocation(jobSettings_->Location()) ||
        !message.contains(QStringLiteral("password"), Qt::CaseInsensitive)) {
        return;
    }
    passwordAsked_ = true;
    const std::optional<std::string> password =
        options_.JobDialogs->AskPassword(this, jobs_->ShownArchive());
    if (!password) {
        return;
    }
    jobSettings_->SetPassword(*password);
    jobs_->UseArchive(jobSettings_->Location());
    ShowStatusText(QStringLiteral("Archive: %1; the password is kept until the program ends")
                       .arg(jobs_->ShownArchive()));
}

void TfrmMain::UseJobArchive() {
    if (!jobs_->HasArchive()) {
        jobs_->UseArchive(jobSettings_->Location());
    }
}

void TfrmMain::FollowJob() {
    const bool open = jobs_->HasJob();
    AddToJob1->setEnabled(open && !Merania.empty() && !recordsSource_.empty());
    JobReport1->setEnabled(open);
    ExportJob1->setEnabled(open);
    JobProperties1->setEnabled(open);
}

void TfrmMain::ShowJobWindow() {
    if (!frmJob_) {
        frmJob_ = std::make_unique<TfrmJob>(*jobs_, options_.JobDialogs);
    }
    frmJob_->show();
    frmJob_->raise();
}

void TfrmMain::NewJob1Click() {
    const std::optional<TJob> job = options_.JobDialogs->AskNewJob(this);
    if (!job) {
        return;
    }
    UseJobArchive();
    ShowJobWindow();
    jobs_->CreateJob(*job);
}

void TfrmMain::OpenJob1Click() {
    UseJobArchive();
    ShowStatusText(QStringLiteral("Listing the jobs of %1\u2026").arg(jobs_->ShownArchive()));
    jobs_->ListJobs([this](std::vector<TJobEntry> entries) {
        if (entries.empty()) {
            ShowStatusText(QStringLiteral("No jobs in %1: make one with New job\u2026")
                               .arg(jobs_->ShownArchive()));
            return;
        }
        const std::optional<std::string> name = options_.JobDialogs->AskOpenJob(this, entries);
        if (!name) {
            ShowStatusText(QString());
            return;
        }
        ShowJobWindow();
        jobs_->OpenJob(*name);
        ShowStatusText(QStringLiteral("Opened job %1").arg(Utf8(*name)));
    });
}

void TfrmMain::Archive1Click() {
    const std::optional<TArchiveChoice> choice =
        options_.JobDialogs->AskArchive(this, jobSettings_->Stored());
    if (!choice) {
        return;
    }
    if (choice->Kind != TArchiveChoice::TKind::Default && choice->Location.empty()) {
        ShowStatusText(QStringLiteral("Archive not changed: no file or URI given"));
        return;
    }
    jobSettings_->Store(*choice);
    passwordAsked_ = false;
    jobs_->UseArchive(jobSettings_->Location());
    ShowStatusText(QStringLiteral("Archive: %1").arg(jobs_->ShownArchive()));
}

void TfrmMain::AddToJob1Click() {
    FollowJob();
    if (!AddToJob1->isEnabled()) {
        ShowStatusText(jobs_->HasJob()
                           ? QStringLiteral("Nothing to add: import or open measurements first")
                           : QStringLiteral("No job open: make or open one first"));
        return;
    }
    const std::optional<TAddAnswers> answers =
        options_.JobDialogs->AskAddToJob(this, Utf8(jobs_->JobName()), addAnswers_);
    if (!answers) {
        return;
    }
    addAnswers_ = *answers;
    ShowStatusText(QStringLiteral("Adding %1 measurements to job %2\u2026")
                       .arg(QString::number(Merania.size()), Utf8(jobs_->JobName())));
    jobs_->AddRecords(Merania, recordsMeter_, recordsSource_, addAnswers_);
}

void TfrmMain::ExportJob1Click() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        this, QStringLiteral("Export job"), QStringLiteral("Job document (*.json)"), "json");
    if (!fileName) {
        return;
    }
    jobs_->ExportJob(ToFileName(*fileName));
}

void TfrmMain::JobReport1Click() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        this, QStringLiteral("Job report"), QStringLiteral("PDF (*.pdf)"), "pdf");
    if (!fileName) {
        return;
    }
    ShowStatusText(
        QStringLiteral("Writing the report of job %1\u2026").arg(Utf8(jobs_->JobName())));
    jobs_->WriteReport(ToFileName(*fileName));
}

void TfrmMain::JobProperties1Click() {
    const auto& snapshot = jobs_->Snapshot();
    if (!snapshot) {
        ShowStatusText(QStringLiteral("Job %1 is still being read").arg(Utf8(jobs_->JobName())));
        return;
    }
    const std::optional<TJobProperties> properties =
        options_.JobDialogs->AskJobProperties(this, snapshot->Job);
    if (!properties) {
        return;
    }
    try {
        jobs_->ChangeJob(JobPropertiesChanges(*properties));
    } catch (const std::exception& e) {
        ShowStatusText(QStringLiteral("Job not changed: ") + FromBytes(e.what()));
    }
}
