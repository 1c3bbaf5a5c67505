#pragma once

#include <QString>
#include <optional>

#include "app/job/JobDialogs.h"
#include "archive/Archive.h"
#include "verdict/Budget.h"

// The changes a job's properties make to job: the texts, the budget (read from its file, or
// the window's, windowBudget, as its file would hold it), the logo read from its file, and the
// expected fibres that differ. Throws std::runtime_error with the whole message for a file that
// cannot be read, a budget that is no budget, a logo that is no PNG or SVG picture, or the
// window's budget asked for where the window has none.
TJobChanges JobPropertiesChanges(const TJobProperties& properties, const TJob& job,
                                 const std::optional<TBudget>& windowBudget);

// A budget's name as the job's dialogs show it ("unnamed" for a budget without one).
QString BudgetCaption(const TBudget& budget);
// The name of the job's budget in force: "none" without one, "unreadable" for one that no
// longer reads.
QString JobBudgetCaption(const TJob& job);
