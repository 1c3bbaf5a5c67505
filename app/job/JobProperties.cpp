#include "app/job/JobProperties.h"

#include <QFileInfo>
#include <QImage>
#include <map>
#include <stdexcept>

#include "app/common/Latin1.h"
#include "sys/TextFile.h"
#include "verdict/Budget.h"

namespace {

std::string BudgetJson(const QString& file) {
    const std::string path = ToFileName(file);
    const std::string text = ReadWholeFile(path);
    // Read as the budget it must be; the job keeps the file's own text.
    ParseBudget(text, path);
    return text;
}

// The logo's type by its name, checked by its contents.
std::string LogoType(const QString& file, const std::string& bytes) {
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("png")) {
        QImage image;
        if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                static_cast<int>(bytes.size()), "PNG")) {
            throw std::runtime_error(ToBytes(file) + " is no PNG picture");
        }
        return "png";
    }
    if (suffix == QLatin1String("svg")) {
        if (bytes.find("<svg") == std::string::npos) {
            throw std::runtime_error(ToBytes(file) + " is no SVG picture");
        }
        return "svg";
    }
    throw std::runtime_error(ToBytes(file) + ": a logo is a .png or .svg file");
}

// Only what differs is written: a cable left out or at 0 is removed (0), the others set.
std::map<std::string, int> ExpectedFibresChanges(const std::map<std::string, int>& before,
                                                 const std::map<std::string, int>& after) {
    std::map<std::string, int> changes;
    for (const auto& [cable, count] : before) {
        const auto kept = after.find(cable);
        if (kept == after.end() || kept->second <= 0) {
            changes[cable] = 0;
        }
    }
    for (const auto& [cable, count] : after) {
        const auto was = before.find(cable);
        if (count > 0 && (was == before.end() || was->second != count)) {
            changes[cable] = count;
        }
    }
    return changes;
}

}  // namespace

QString BudgetCaption(const TBudget& budget) {
    return budget.Name.empty() ? QStringLiteral("unnamed") : Utf8(budget.Name);
}

QString JobBudgetCaption(const TJob& job) {
    if (job.Budgets.empty()) {
        return QStringLiteral("none");
    }
    try {
        return BudgetCaption(ParseBudget(job.Budgets.back().Json, job.Name));
    } catch (const EBudgetError&) {
        return QStringLiteral("unreadable");
    }
}

TJobChanges JobPropertiesChanges(const TJobProperties& properties, const TJob& job,
                                 const std::optional<TBudget>& windowBudget) {
    TJobChanges changes;
    changes.Customer = properties.Customer;
    changes.Site = properties.Site;
    changes.Contractor = properties.Contractor;
    changes.Notes = properties.Notes;
    if (properties.UseWindowBudget) {
        if (!windowBudget) {
            throw std::runtime_error("the window has no loss budget");
        }
        // No file between: the text the loss budget dialog's Save would write of it.
        changes.BudgetJson = BudgetToJson(*windowBudget);
    } else if (!properties.BudgetFile.isEmpty()) {
        changes.BudgetJson = BudgetJson(properties.BudgetFile);
    }
    changes.ExpectedFibres = ExpectedFibresChanges(job.ExpectedFibres, properties.ExpectedFibres);
    if (!properties.LogoFile.isEmpty()) {
        const std::string bytes = ReadWholeFile(ToFileName(properties.LogoFile));
        changes.LogoType = LogoType(properties.LogoFile, bytes);
        changes.Logo = bytes;
    }
    return changes;
}
