// The commands of the Options menu, the Measurements group and the export menu.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>

#include "MeridaxVersion.h"
#include "app/common/FileDialogs.h"
#include "app/common/Latin1.h"
#include "app/main/MeasurementModel.h"
#include "app/main/Questions.h"
#include "app/main/frmExportSettings.h"
#include "app/main/frmMain.h"
#include "app/main/frmSerialPortSettings.h"
#include "data/CountText.h"
#include "data/MeasurementText.h"
#include "data/uMeranie.h"
#include "export/ClipboardText.h"
#include "export/CsvExport.h"
#include "export/ExportFields.h"
#include "export/XlsxExport.h"
#include "export/uNativeXLSExport.h"
#include "report/ReportInput.h"
#include "session/ApplicationSettings.h"
#include "sys/TextFile.h"

namespace {

const QString MeasurementFilter = QStringLiteral("MERIDAX measurement (*.mxe)");

// Shows the hourglass over a window for one scope, also when the scope ends in an error.
class TBusyCursor {
public:
    explicit TBusyCursor(ISessionView& view) : view_(view) { view_.SetBusyCursor(true); }
    ~TBusyCursor() noexcept { view_.SetBusyCursor(false); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    ISessionView& view_;
};

bool PutOnSystemClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(text, QClipboard::Clipboard);
    // A window system without a clipboard keeps nothing.
    return clipboard->text(QClipboard::Clipboard) == text;
}

// The export settings for the workbook and CSV exports of the page shown.
TExportOptions ExportOptions(const std::string& deviceLabel) {
    TExportOptions options;
    options.ExportHeader = ExportTableHeader;
    if (ExportDeviceDetails)
        options.DeviceDetails = DeviceLineFromLabel(deviceLabel);
    if (deviceLabel != TDeviceSession::NoDeviceText)
        options.DeviceName = deviceLabel;
    options.DecimalSeparator = ExportDecimalSeparator;
    return options;
}

// "Test report written to r.pdf: 12 rows, 10 pass, 1 fail, 1 check"; the kinds without a
// row are left out.
std::string ReportWrittenStatus(const QString& fileName, std::size_t rows,
                                const TVerdictCounts& counts) {
    QString text = QStringLiteral("Test report written to %1: %2")
                       .arg(fileName, FromBytes(Counted(rows, "row", "rows")));
    const std::pair<std::size_t, const char*> parts[] = {
        {counts.Pass, "pass"}, {counts.Fail, "fail"}, {counts.Check, "check"}};
    for (const auto& [count, name] : parts) {
        if (count > 0)
            text +=
                QStringLiteral(", %1 %2").arg(FromBytes(GroupedCount(count)), QLatin1String(name));
    }
    return ToBytes(text);
}

// "Exported 179 rows to /home/me/relative.xlsx": the ticked rows of the page shown.
std::string ExportedStatus(const TMeasurementTable& table, const QString& fileName) {
    return ToBytes(
        QStringLiteral("Exported %1 to %2")
            .arg(FromBytes(Counted(ExportedRowCount(table, true), "row", "rows")), fileName));
}

}  // namespace

void TfrmMain::Serialportsettings1Click() {
    if (frmSerialPortSettings_ == nullptr) {
        return;
    }
    frmSerialPortSettings_->txtBaud->setText(QString::number(comPort1_->Baud));
    if (frmSerialPortSettings_->exec() == QDialog::Accepted) {
        // Applies from the next connect; the open port keeps its rate.
        comPort1_->Baud = ParseBaudText(ToBytes(frmSerialPortSettings_->txtBaud->text()));
    }
}

void TfrmMain::Exportsettings1Click() {
    if (frmExportSettings_ == nullptr) {
        return;
    }
    TfrmExportSettings& dialog = *frmExportSettings_;
    dialog.chkExportTableHeader->setChecked(ExportTableHeader);
    dialog.chkExportDeviceDetails->setChecked(ExportDeviceDetails);
    if (FromBytes(ExportDecimalSeparator) == dialog.rbCiarka->text()) {
        dialog.rbCiarka->setChecked(true);
    } else {
        dialog.rbBodka->setChecked(true);
    }
    if (dialog.exec() == QDialog::Accepted) {
        ExportDeviceDetails = dialog.chkExportDeviceDetails->isChecked();
        ExportTableHeader = dialog.chkExportTableHeader->isChecked();
        ExportDecimalSeparator = ToBytes(dialog.rbCiarka->isChecked() ? dialog.rbCiarka->text()
                                                                      : dialog.rbBodka->text());
    }
}

void TfrmMain::btnSaveToFileClick() {
    const auto fileName =
        options_.FileDialogs->AskSaveFileName(this, QString(), MeasurementFilter, "mxe");
    if (!fileName) {
        return;
    }
    const TMeasurementTable& table = Model(TTablePage::All).Table();
    WriteTextFile(ToFileName(*fileName), MeasurementFileText(table));
    unsavedImport_ = false;
    ShowStatus(ToBytes(
        QStringLiteral("Saved %1 to %2")
            .arg(FromBytes(Counted(table.RowCount(), "measurement", "measurements")), *fileName)));
}

void TfrmMain::btnOpenClick() {
    if (!MayDropImport(QStringLiteral("opening a file"))) {
        return;
    }
    const auto fileName = options_.FileDialogs->AskOpenFileName(this, MeasurementFilter);
    if (!fileName) {
        return;
    }
    const std::string text = ReadTextFile(ToFileName(*fileName));
    // The parser empties Merania before it reads; a rejected file leaves the set as it was.
    TMeraniaArray previous = std::move(Merania);
    Merania.clear();
    TDumpDamage damage;
    try {
        ParseDeviceDump(text, Merania, &damage);
    } catch (...) {
        Merania = std::move(previous);
        throw;
    }
    // A wrong or empty file would silently empty the tables.
    const int shown = Model(TTablePage::All).rowCount();
    if (Merania.empty() && shown > 0 &&
        !options_.Questions->AskReplaceWithNothing(
            this, QStringLiteral(
                      "%1 holds no measurements.\nReplace the measurements shown (%2) with none?")
                      .arg(*fileName, QString::number(shown)))) {
        Merania = std::move(previous);
        return;
    }
    nextLeftOut_ = DumpDamageText(damage);
    LoadDataToAllListView();
    if (!Merania.empty()) {
        recordsSource_ = fileName->toStdString();
        jobMenu_->EnableCommands();
    }
    ShowStatus(ToBytes(QStringLiteral("Opened %1: ").arg(*fileName)) + CountsText());
}

void TfrmMain::btnExportClick() {
    PopupMenuExport->popup(btnExport->mapToGlobal(QPoint(btnExport->width(), 0)));
}

void TfrmMain::ppExportToExcelClick() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        this, QStringLiteral("Export to excel"), QStringLiteral("Excel (*.xls)"), "xls");
    if (!fileName) {
        return;
    }
    TBusyCursor busy(*this);
    const std::string deviceLine =
        ExportDeviceDetails ? DeviceLineFromLabel(DeviceLabelText()) : std::string();
    ExportListViewToXLS(GetActiveListView(), true, ExportTableHeader, deviceLine,
                        ExportDecimalSeparator, ToFileName(*fileName));
    unsavedImport_ = false;
    ShowStatus(ExportedStatus(GetActiveListView(), *fileName));
}

void TfrmMain::ppExportToClipboardClick() {
    const std::string text =
        BuildClipboardText(GetActiveListView(), ExportDeviceDetails,
                           DeviceLineFromLabel(DeviceLabelText()), ExportTableHeader);
    const QString clipboardText = FromBytes(text);
    const bool stored = options_.PutOnClipboard ? options_.PutOnClipboard(clipboardText)
                                                : PutOnSystemClipboard(clipboardText);
    if (!stored) {
        throw std::runtime_error("Cannot open clipboard");
    }
    unsavedImport_ = false;
    ShowStatus(ToBytes(
        QStringLiteral("Copied %1 to the clipboard")
            .arg(FromBytes(Counted(ExportedRowCount(GetActiveListView(), true), "row", "rows")))));
}

void TfrmMain::ppExportToXlsxClick() {
    const auto fileName =
        options_.FileDialogs->AskSaveFileName(this, QStringLiteral("Export to Excel workbook"),
                                              QStringLiteral("Excel workbook (*.xlsx)"), "xlsx");
    if (!fileName) {
        return;
    }
    TBusyCursor busy(*this);
    TExportOptions options = ExportOptions(DeviceLabelText());
    std::vector<TVerdict> verdicts;
    options.Verdicts = ExportVerdicts(verdicts);
    if (options.Verdicts != nullptr && budget_)
        options.BudgetDescription = BudgetMethodText(*budget_);
    // The tables are filled from Merania only, so its records are the rows' numbers.
    ExportToXlsx(GetActiveListView(), Merania, options, ToFileName(*fileName));
    unsavedImport_ = false;
    ShowStatus(ExportedStatus(GetActiveListView(), *fileName));
}

void TfrmMain::ppExportToCsvClick() {
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        this, QStringLiteral("Export to CSV"), QStringLiteral("CSV (*.csv)"), "csv");
    if (!fileName) {
        return;
    }
    TBusyCursor busy(*this);
    TExportOptions options = ExportOptions(DeviceLabelText());
    std::vector<TVerdict> verdicts;
    options.Verdicts = ExportVerdicts(verdicts);
    if (options.Verdicts != nullptr && budget_)
        options.BudgetDescription = BudgetMethodText(*budget_);
    ExportToCsv(GetActiveListView(), options, ToFileName(*fileName));
    unsavedImport_ = false;
    ShowStatus(ExportedStatus(GetActiveListView(), *fileName));
}

void TfrmMain::ppExportToPdfClick() {
    // Without a budget the report would have no verdict to show and would print the default
    // connector and splice figures as though they had been applied.
    std::vector<TVerdict> verdicts;
    if (!budget_ || ExportVerdicts(verdicts) == nullptr) {
        ReportError(
            "A test report judges the rows by a loss budget, and none is set: "
            "choose one under Options > Loss budget...");
        return;
    }
    const auto fileName = options_.FileDialogs->AskSaveFileName(
        this, QStringLiteral("Test report"), QStringLiteral("PDF (*.pdf)"), "pdf");
    if (!fileName) {
        return;
    }
    TBusyCursor busy(*this);
    const TMeasurementTable& table = GetActiveListView();
    // The report names the meter whenever one is known: "Export device details" is about the
    // spreadsheet files' first line, not about what a test report is for.
    const TExportOptions exportOptions = ExportOptions(DeviceLabelText());
    const std::string deviceLine = exportOptions.DeviceName.empty()
                                       ? std::string()
                                       : DeviceLineFromLabel(exportOptions.DeviceName);
    WriteTestReport(PageReportInput(table, verdicts, *budget_, deviceLine, MERIDAX_VERSION),
                    ToFileName(*fileName));
    unsavedImport_ = false;

    std::vector<TVerdict> reported;
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
        if (table.Checked(row))
            reported.push_back(verdicts[row]);
    }
    ShowStatus(ReportWrittenStatus(*fileName, reported.size(), CountVerdicts(reported)));
}
