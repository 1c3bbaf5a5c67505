#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/Archive.h"  // TDownloadFix
#include "jobs/JobTypes.h"
#include "jobs/JobWork.h"

class QWidget;

// Where the jobs are kept, as the user chose it.
struct TArchiveChoice {
    enum class TKind { Default, File, Postgres };
    TKind Kind = TKind::Default;
    std::string Location;  // the file or the URI (without a password); empty for Default
    std::string Password;  // for this run only; empty: libpq's own (~/.pgpass)
    // "Save a copy…" was chosen: a copy of the archive in use is wanted, nothing else changes.
    bool SaveCopy = false;
};

// A job's properties as the user gave them: the texts, the files to take the budget and the
// logo from (empty: unchanged) or the window's budget instead of a file, and the fibres each
// cable is expected to have, as the table was left (a cable missing or at 0 has none).
struct TJobProperties {
    std::string Customer;
    std::string Site;
    std::string Contractor;
    std::string Notes;
    QString BudgetFile;
    QString LogoFile;
    bool UseWindowBudget = false;
    std::map<std::string, int> ExpectedFibres;
};

// What the Add to job dialog shows: the job's whole name, what will be added, the answers
// proposed for this job, and the warning (empty: none) an add in a direction would earn.
struct TAddContext {
    QString JobName;
    QString WhatText;  // "12 readings: all records of this import"
    TAddAnswers Proposed;
    std::function<QString(TDirection)> Warning;
};

// The questions of the Job menu; nullopt stands for Cancel. Texts are UTF-8.
class IJobDialogs {
public:
    virtual ~IJobDialogs() = default;
    virtual std::optional<TJob> AskNewJob(QWidget* owner) = 0;
    // entries newest first, current (the open job; may be empty) chosen; gives the chosen
    // job's name.
    virtual std::optional<std::string> AskOpenJob(QWidget* owner,
                                                  const std::vector<TJobEntry>& entries,
                                                  const std::string& current) = 0;
    // Whether to make a new archive at the file location chosen, where there is none yet.
    virtual bool AskMakeArchive(QWidget* owner, const QString& location) = 0;
    virtual std::optional<TArchiveChoice> AskArchive(QWidget* owner,
                                                     const TArchiveChoice& current) = 0;
    // Asks the add's answers; a warning of the direction chosen is a question of its own
    // (add anyway, or go back to the answers).
    virtual std::optional<TAddAnswers> AskAddToJob(QWidget* owner, const TAddContext& context) = 0;
    // windowBudget: the name of the window's loss budget as shown; none when it has none.
    virtual std::optional<TJobProperties> AskJobProperties(
        QWidget* owner, const TJob& job, const std::optional<QString>& windowBudget) = 0;
    virtual std::optional<std::string> AskVoidReason(QWidget* owner, std::int64_t download) = 0;
    // The download's direction, test date and operator shown for correcting; gives only the
    // fields the user changed (none at all when nothing was).
    virtual std::optional<TDownloadFix> AskFix(QWidget* owner, const TDownload& download) = 0;
    // The other archive to sync job jobName with: a file or a PostgreSQL database (Kind File or
    // Postgres, the password for this sync only).
    virtual std::optional<TArchiveChoice> AskSyncWith(QWidget* owner, const QString& jobName) = 0;
    // The password of a database that asked for one (location as shown).
    virtual std::optional<std::string> AskPassword(QWidget* owner, const QString& location) = 0;
};

// What the Archive dialog calls the archive used when none is chosen: $MERIDAX_ARCHIVE while
// it is set, else the default file, each with its location.
QString StandardArchiveCaption();

// The same with Qt's dialogs.
class TQtJobDialogs : public IJobDialogs {
public:
    std::optional<TJob> AskNewJob(QWidget* owner) override;
    std::optional<std::string> AskOpenJob(QWidget* owner, const std::vector<TJobEntry>& entries,
                                          const std::string& current) override;
    bool AskMakeArchive(QWidget* owner, const QString& location) override;
    std::optional<TArchiveChoice> AskArchive(QWidget* owner,
                                             const TArchiveChoice& current) override;
    std::optional<TAddAnswers> AskAddToJob(QWidget* owner, const TAddContext& context) override;
    std::optional<TJobProperties> AskJobProperties(
        QWidget* owner, const TJob& job, const std::optional<QString>& windowBudget) override;
    std::optional<std::string> AskVoidReason(QWidget* owner, std::int64_t download) override;
    std::optional<TDownloadFix> AskFix(QWidget* owner, const TDownload& download) override;
    std::optional<TArchiveChoice> AskSyncWith(QWidget* owner, const QString& jobName) override;
    std::optional<std::string> AskPassword(QWidget* owner, const QString& location) override;
};
