#include "app/budget/BudgetStore.h"

#include <QSettings>
#include <system_error>

#include "app/common/Latin1.h"

namespace {

const QString BudgetKey = QStringLiteral("budget/json");

// The user's own configuration of the program, never the working directory's settings.ini.
QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("meridax"),
                     QStringLiteral("meridax"));
}

}  // namespace

std::optional<TBudget> LoadStoredBudget() {
    QSettings settings = UserSettings();
    const QVariant stored = settings.value(BudgetKey);
    if (!stored.isValid()) {
        return std::nullopt;
    }
    try {
        const QByteArray json = stored.toString().toUtf8();
        return ParseBudget(
            std::string_view(json.constData(), static_cast<std::size_t>(json.size())),
            ToFileName(settings.fileName()));
    } catch (const EBudgetError&) {
        // Kept, it would be refused at every start.
        settings.remove(BudgetKey);
        settings.sync();
        throw;
    }
}

void StoreBudget(const std::optional<TBudget>& budget) {
    QSettings settings = UserSettings();
    if (budget) {
        settings.setValue(BudgetKey, QString::fromStdString(BudgetToJson(*budget)));
    } else {
        settings.remove(BudgetKey);
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        const std::string path = ToFileName(settings.fileName());
        throw EInOutError("The loss budget cannot be kept in \"" + path + "\"", path,
                          std::make_error_code(std::errc::io_error));
    }
}
