#include "app/job/JobOutcomeTexts.h"

#include "archive/JobImport.h"
#include "data/CountText.h"
#include "jobs/JobWork.h"

std::string FixText(const TDownloadFix& fix) {
    std::string text;
    const auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : ", ") + part;
    };
    if (fix.Direction) {
        add(std::string("direction ") + DirectionCaption(*fix.Direction));
    }
    if (fix.TestDate) {
        add("date " + *fix.TestDate);
    }
    if (fix.Operator) {
        add("operator " + (fix.Operator->empty() ? std::string("none") : *fix.Operator));
    }
    return text;
}

namespace {

std::string SyncSideText(const TSyncSide& side) {
    return (side.JobMade ? "the job made, " : std::string()) +
           Counted(static_cast<std::size_t>(side.Downloads), "download", "downloads") + ", " +
           Counted(static_cast<std::size_t>(side.Events), "decision", "decisions");
}

}  // namespace

std::string SyncOutcomeText(const std::string& jobName, const TSyncOutcome& outcome,
                            const TArchive& here, const TArchive& there) {
    std::string text = "Synced job " + jobName + " with " + there.Location() + ": from it " +
                       SyncSideText(outcome.Here) + "; to it " + SyncSideText(outcome.There);
    if (outcome.OneWay) {
        const TArchive& readOnly = here.IsReadOnly() ? here : there;
        const std::string reason = readOnly.ReadOnlyReason();
        text += "; one way only: " + readOnly.Location() + " may only be read" +
                (reason.empty() ? std::string(" by this user") : " (" + reason + ")");
    }
    if (const std::string warning = FarAheadWarning(outcome.FarAhead); !warning.empty()) {
        text += ". " + warning;
    }
    return text;
}
