#include "app/job/JobOutcomeTexts.h"

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
