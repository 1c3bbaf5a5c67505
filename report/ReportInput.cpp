#include "report/ReportInput.h"

#include <QDateTime>

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
