#include "app/job/JobProperties.h"

#include <QFileInfo>
#include <QImage>
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

}  // namespace

TJobChanges JobPropertiesChanges(const TJobProperties& properties) {
    TJobChanges changes;
    changes.Customer = properties.Customer;
    changes.Site = properties.Site;
    changes.Contractor = properties.Contractor;
    changes.Notes = properties.Notes;
    if (!properties.BudgetFile.isEmpty()) {
        changes.BudgetJson = BudgetJson(properties.BudgetFile);
    }
    if (!properties.LogoFile.isEmpty()) {
        const std::string bytes = ReadWholeFile(ToFileName(properties.LogoFile));
        changes.LogoType = LogoType(properties.LogoFile, bytes);
        changes.Logo = bytes;
    }
    return changes;
}
