#include "report/ReportInput.h"

#include <QDateTime>

#include <cstdlib>

TReportInput PageReportInput(const TMeasurementTable& table, const std::vector<TVerdict>& verdicts,
                             const TBudget& budget, const std::string& deviceLine,
                             const std::string& version) {
    TReportInput input;
    input.DeviceLine = deviceLine;
    input.DateTime = ReportDateTimeNow();
    input.Budget = budget;
    input.Table = &table;
    input.Verdicts = &verdicts;
    input.OnlyChecked = true;
    input.Version = version;
    return input;
}

std::string ReportDateTimeNow() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

std::string ReportDateTimeWithZoneNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    QString zone = QStringLiteral(" UTC");
    if (offset != 0) {
        zone += (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
                QStringLiteral("%1:%2")
                    .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                    .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
    }
    return (now.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + zone).toStdString();
}
