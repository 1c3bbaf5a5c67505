#include "app/job/JobController.h"

#include <QMetaObject>
#include <chrono>
#include <stdexcept>

#include "MeridaxVersion.h"
#include "app/common/Latin1.h"
#include "app/job/JobOutcomeTexts.h"
#include "app/job/JobSettings.h"
#include "archive/JobImport.h"
#include "archive/JobRunner.h"
#include "archive/JobSync.h"
#include "data/Latin1Utf8.h"
#include "jobs/JobDocument.h"
#include "report/JobReport.h"
#include "sys/TextFile.h"

TJobController::TJobController(QObject* parent) : QObject(parent) {}

TJobController::~TJobController() {
    // Joined while this object still takes the runners' last posts (which Qt then drops).
    runner_.reset();
    retiring_.clear();
}

void TJobController::UseArchive(const std::string& location, TArchiveCreation creation) {
    // The old archive's thread may be waiting on a server that went away: it is not waited
    // for here.
    std::erase_if(retiring_, [](const auto& runner) { return runner->Finished(); });
    if (runner_) {
        runner_->Retire();
        retiring_.push_back(std::move(runner_));
    }
    ++generation_;
    ++archiveId_;
    location_ = location;
    jobName_.clear();
    snapshot_.reset();
    refreshWaiting_ = false;
    StartRunner(creation);
    emit JobChanged();
}

bool TJobController::StartRunner(TArchiveCreation creation) {
    // The archive's thread makes a missing file at once: a mistyped name must not become an
    // empty archive by listing its jobs.
    if (creation == TArchiveCreation::MustExist && ArchiveFileMissing(location_)) {
        return false;
    }
    const std::uint64_t generation = generation_;
    const std::uint64_t archiveId = archiveId_;
    runner_ = std::make_unique<TJobRunner>(
        location_,
        [this, generation](const std::string& message, std::error_code) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, message] {
                    if (generation == generation_) {
                        ReportFailure(generation, QStringLiteral("Opening the archive"), message);
                        emit OpenFailed(Utf8(message));
                    }
                },
                Qt::QueuedConnection);
        },
        [this, archiveId] {
            QMetaObject::invokeMethod(
                this,
                [this, archiveId] {
                    if (archiveId == archiveId_) {
                        ArchiveChanged();
                    }
                },
                Qt::QueuedConnection);
        });
    WatchWaiting();
    return true;
}

void TJobController::WatchWaiting() {
    stopWaiting_->store(false);
    runner_->Post(
        [watch = WaitWatch(ShownArchive())](TArchive& archive) { archive.WatchWaiting(watch); },
        // An archive that failed to open has said so once already.
        [](const std::string&, std::error_code) {});
}

TArchive::TWaitWatch TJobController::WaitWatch(const QString& shown) {
    return [this, archiveId = archiveId_, stop = stopWaiting_, shown,
            told = std::chrono::seconds(0)](std::chrono::milliseconds waited) mutable {
        if (stop->exchange(false)) {
            return false;
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waited);
        if (seconds != told) {
            told = seconds;
            const QString text = QStringLiteral(
                                     "Waiting for another program writing the archive %1 (%2 s); "
                                     "Job \u2192 Stop waiting for the archive ends the wait")
                                     .arg(shown, QString::number(seconds.count()));
            QMetaObject::invokeMethod(
                this,
                [this, archiveId, text] {
                    if (archiveId == archiveId_) {
                        emit Waiting(text);
                    }
                },
                Qt::QueuedConnection);
        }
        return true;
    };
}

void TJobController::StopWaiting() {
    stopWaiting_->store(true);
}

QString TJobController::ShownArchive() const {
    return Utf8(ShownLocation(location_));
}

void TJobController::Post(std::function<std::function<void()>(TArchive&)> work, const QString& what,
                          TArchiveCreation creation) {
    const std::uint64_t generation = generation_;
    if (!runner_ && !StartRunner(creation)) {
        // Told later, as every result: the caller's own status text comes first.
        const std::string message =
            "there is no archive " + ShownLocation(location_) +
            ": New job\u2026 makes one there, Archive\u2026 chooses another";
        QMetaObject::invokeMethod(
            this, [this, generation, what, message] { ReportFailure(generation, what, message); },
            Qt::QueuedConnection);
        return;
    }
    runner_->Post(
        [this, generation, work = std::move(work)](TArchive& archive) {
            std::function<void()> done = work(archive);
            QMetaObject::invokeMethod(
                this,
                [this, generation, done = std::move(done)] {
                    if (generation == generation_ && done) {
                        done();
                    }
                },
                Qt::QueuedConnection);
        },
        [this, generation, what](const std::string& message, std::error_code) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, what, message] { ReportFailure(generation, what, message); },
                Qt::QueuedConnection);
        });
}

void TJobController::ReportFailure(std::uint64_t generation, const QString& what,
                                   const std::string& message) {
    if (generation != generation_) {
        return;
    }
    refreshWaiting_ = false;
    emit Failed(what + QStringLiteral(" failed: ") + Utf8(message));
}

void TJobController::ListJobs(std::function<void(std::vector<TJobEntry>)> done) {
    Post(
        [done = std::move(done)](TArchive& archive) -> std::function<void()> {
            auto jobs = std::make_shared<std::vector<TJobEntry>>(archive.ListJobs());
            return [done, jobs] { done(std::move(*jobs)); };
        },
        QStringLiteral("Listing the jobs"));
}

void TJobController::ReadDownloads(std::function<void(std::vector<TDownload>)> done) {
    Post(
        [done = std::move(done), name = jobName_](TArchive& archive) -> std::function<void()> {
            auto downloads = std::make_shared<std::vector<TDownload>>(archive.Downloads(name));
            return [done, downloads] { done(std::move(*downloads)); };
        },
        QStringLiteral("Reading the job"));
}

void TJobController::CreateJob(const TJob& job) {
    Post(
        [this, job](TArchive& archive) -> std::function<void()> {
            archive.CreateJob(job);
            return [this, name = job.Name] {
                emit Status(QStringLiteral("Made job %1 in %2").arg(Utf8(name), ShownArchive()));
                OpenJob(name);
            };
        },
        QStringLiteral("New job"), TArchiveCreation::MayCreate);
}

void TJobController::OpenJob(const std::string& name) {
    ++generation_;
    jobName_ = name;
    snapshot_.reset();
    refreshWaiting_ = false;
    emit JobChanged();
    Refresh();
}

void TJobController::Refresh() {
    if (!HasJob() || refreshWaiting_) {
        return;
    }
    refreshWaiting_ = true;
    emit Loading(
        QStringLiteral("Reading job %1 from %2\u2026").arg(Utf8(jobName_), ShownArchive()));
    Post(
        [this, name = jobName_](TArchive& archive) -> std::function<void()> {
            auto snapshot = std::make_shared<const TJobSnapshot>(ReadJobSnapshot(archive, name));
            return [this, snapshot] {
                refreshWaiting_ = false;
                snapshot_ = snapshot;
                emit SnapshotReady();
            };
        },
        QStringLiteral("Reading the job"));
}

void TJobController::ArchiveChanged() {
    Refresh();
}

void TJobController::AddRecords(TMeraniaArray records, std::string meter, std::string source,
                                TAddAnswers answers) {
    Post(
        [this, name = jobName_, records = std::move(records), meter = std::move(meter),
         source = std::move(source), answers](TArchive& archive) mutable -> std::function<void()> {
            // The meter's name line is 8-bit, as it sends it; the archive keeps UTF-8.
            TDownload download;
            TAddOutcome outcome;
            try {
                download = MakeDownload(std::move(records), Latin1ToUtf8(meter), source, answers);
                outcome = archive.AddDownload(name, download);
            } catch (const EArchiveError& e) {
                throw EArchiveError(e.code(), AddFailureText(e.what(), e.code()));
            } catch (const std::exception& e) {
                throw std::runtime_error(AddFailureText(e.what(), {}));
            }
            const std::string text = AddOutcomeText(name, outcome, download);
            return [this, text, added = outcome.Added] {
                emit Status(Utf8(text));
                if (added) {
                    Refresh();
                }
            };
        },
        QStringLiteral("Adding to job %1").arg(Utf8(jobName_)));
}

void TJobController::SetVoid(std::int64_t number, bool isVoid, const std::string& reason) {
    Post(
        [this, name = jobName_, number, isVoid,
         reason](TArchive& archive) -> std::function<void()> {
            archive.SetVoid(name, number, isVoid, reason);
            return [this, number, isVoid] {
                emit Status(
                    QStringLiteral("Download %1 %2")
                        .arg(QString::number(number), isVoid ? QStringLiteral("made void")
                                                             : QStringLiteral("counts again")));
                Refresh();
            };
        },
        QStringLiteral("Voiding a download"));
}

void TJobController::FixDownload(const TDownload& download, const TDownloadFix& fix) {
    const QString named =
        QStringLiteral("Download %1 (%2)")
            .arg(QString::number(download.Number), Utf8(download.RecordsSha256.substr(0, 8)));
    Post(
        [this, name = jobName_, hash = download.RecordsSha256, fix,
         named](TArchive& archive) -> std::function<void()> {
            archive.FixDownload(name, hash, fix);
            return [this, named, fix] {
                emit Status(named + QStringLiteral(" fixed: ") + Utf8(FixText(fix)));
                Refresh();
            };
        },
        QStringLiteral("Fixing ") + named.toLower());
}

void TJobController::SyncJob(const std::string& location) {
    const QString shown = Utf8(ShownLocation(location));
    const QString what = QStringLiteral("Syncing job %1 with %2").arg(Utf8(jobName_), shown);
    emit Progress(what + QStringLiteral("\u2026"));
    const std::uint64_t generation = generation_;
    Post(
        [this, name = jobName_, location, what, generation,
         watch = WaitWatch(shown)](TArchive& archive) -> std::function<void()> {
            const std::unique_ptr<TArchive> other =
                OpenArchive(location, TArchiveCreation::MayCreate);
            other->WatchWaiting(watch);
            const TSyncOutcome outcome =
                ::SyncJob(archive, *other, name, [&](std::int64_t done, std::int64_t of) {
                    const QString text =
                        what + QStringLiteral(": downloads: %1 of %2")
                                   .arg(QString::number(done), QString::number(of));
                    QMetaObject::invokeMethod(
                        this,
                        [this, generation, text] {
                            if (generation == generation_) {
                                emit Progress(text);
                            }
                        },
                        Qt::QueuedConnection);
                });
            const std::string text = SyncOutcomeText(name, outcome, archive, *other);
            return [this, text] {
                emit Status(Utf8(text));
                Refresh();
            };
        },
        what);
}

void TJobController::ChangeJob(const TJobChanges& changes) {
    Post(
        [this, name = jobName_, changes](TArchive& archive) -> std::function<void()> {
            archive.ChangeJob(name, changes);
            return [this, name] {
                emit Status(QStringLiteral("Job %1 changed").arg(Utf8(name)));
                Refresh();
            };
        },
        QStringLiteral("Changing the job"));
}

void TJobController::WriteReport(const std::string& path) {
    Post(
        [this, name = jobName_, path](TArchive& archive) -> std::function<void()> {
            const std::optional<TJob> job = archive.FindJob(name);
            if (!job) {
                throw EArchiveError(make_error_code(TArchiveErrc::NoSuchJob),
                                    "No job " + name + " in " + archive.Location());
            }
            const std::vector<TDownload> downloads = archive.Downloads(name);
            const TJobResults results = ComputeJobResults(*job, downloads);
            WriteJobReport(MakeJobReportInput(*job, downloads, results, MERIDAX_VERSION), path);
            return [this, name, path] {
                emit Status(
                    QStringLiteral("Wrote the report of job %1 to %2").arg(Utf8(name), Utf8(path)));
            };
        },
        QStringLiteral("Writing the job report"));
}

void TJobController::SaveCopy(const std::string& path) {
    Post(
        [this, path](TArchive& archive) -> std::function<void()> {
            archive.SaveCopy(path);
            return [this, path] {
                emit Status(QStringLiteral("Saved a copy of the archive %1 to %2")
                                .arg(ShownArchive(), Utf8(path)));
            };
        },
        QStringLiteral("Saving a copy of the archive"));
}

void TJobController::ExportJob(const std::string& path) {
    Post(
        [this, name = jobName_, path](TArchive& archive) -> std::function<void()> {
            const std::string text = ::ExportJob(archive, name);
            WriteWholeFile(path, text);
            return [this, name, path] {
                emit Status(QStringLiteral("Exported job %1 to %2").arg(Utf8(name), Utf8(path)));
            };
        },
        QStringLiteral("Exporting the job"));
}
