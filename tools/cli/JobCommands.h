#pragma once

#include <functional>

#include <memory>
#include <string>

#include "archive/Archive.h"
#include "tools/cli/JobOptions.h"

// The job commands, each given the options read and the archive they name. A failure throws
// (EArchiveError and the others), for the caller's message and exit code 1.
int RunJobNew(const TJobOptions& options, TArchive& archive);
int RunJobSet(const TJobOptions& options, TArchive& archive);
int RunJobList(TArchive& archive);
int RunJobVoid(const TJobOptions& options, TArchive& archive);
// Runs the add (or the opening of its archive); its failure, whatever the reason, says that
// nothing (more) was added and whether trying again may help.
void AddOrTell(const std::function<void()>& add);
int RunJobAdd(const TJobOptions& options, TArchive& archive);
int RunJobShow(const TJobOptions& options, TArchive& archive);
// ReportFailedExitCode when a row is FAIL or CHECK.
int RunJobReport(const TJobOptions& options, TArchive& archive);
int RunJobExport(const TJobOptions& options, TArchive& archive);
int RunJobImport(const TJobOptions& options, TArchive& archive);
int RunJobSync(const TJobOptions& options, TArchive& archive);

// The job, or EArchiveError NoSuchJob naming it and the archive.
TJob RequireJob(TArchive& archive, const std::string& name);
