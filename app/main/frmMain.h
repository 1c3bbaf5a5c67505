#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/job/JobMenu.h"
#include "comm/ComPort.h"
#include "comm/Synchronizer.h"
#include "data/MeasurementTable.h"
#include "session/DeviceSession.h"
#include "session/SessionView.h"
#include "verdict/Verdict.h"

class IFileDialogs;
class IJobDialogs;
class IQuestions;
class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;
class QToolButton;
class TDumpWorker;
class TMeasurementModel;
struct TReadDump;
class TfrmAbout;
class TfrmExportSettings;
class TfrmSerialPortSettings;

// What the window takes from outside; every member has a production default.
struct TfrmMainOptions {
    // Lists the serial ports (EnumComPorts).
    TDeviceSession::TPortEnumerator EnumeratePorts;
    // The operating-system layer of ComPort1 (termios).
    TPortBindingFactory PortBinding;
    // The connect's blocking waits (a real sleep of the window thread).
    std::function<void(int milliseconds)> BlockFor;
    // Puts text on the clipboard; false when there is no clipboard to write to.
    std::function<bool(const QString& text)> PutOnClipboard;
    // Save and open dialogs.
    std::shared_ptr<IFileDialogs> FileDialogs;
    // The questions before measurements are lost.
    std::shared_ptr<IQuestions> Questions;
    // The settings file read at start and written at close; empty: settings.ini in the
    // working directory.
    std::string SettingsFile;
    // The Job menu's questions.
    std::shared_ptr<IJobDialogs> JobDialogs;
    // Where the Job menu keeps the archive chosen; empty: the user's own settings.
    QString JobSettingsFile;
    // A missing settings file is made with the defaults and the status line says so (the
    // desktop's start); otherwise its absence is reported as an error.
    bool MakeMissingSettings = false;
};

// The main window: the device session, the three measurement tables and the commands on them;
// the Job menu sits in its menu bar.
class TfrmMain : public QMainWindow, public ISessionView, public IJobMenuHost {
    Q_OBJECT

public:
    static constexpr int DesignClientWidth = 624;
    static constexpr int DesignClientHeight = 329;
    static constexpr int OuterWidth = 640;
    // The status line below the designed client area; the window is that much taller than
    // drawn, so every designed position and gap stays.
    static constexpr int StatusLineHeight = 24;
    static constexpr int MinOuterHeight = 340 + StatusLineHeight;
    static constexpr int WorkingOuterHeight = 530 + StatusLineHeight;

    explicit TfrmMain(TfrmMainOptions options = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The dialogs the application created after the window (program start).
    void SetDialogs(TfrmAbout* about, TfrmSerialPortSettings* serialPortSettings,
                    TfrmExportSettings* exportSettings);

    // Controls, named as designed.
    QWidget* ClientArea;
    QGroupBox* grpbUSBkom;
    QPushButton* btnRefreshPorts;
    QLabel* lblSerialPorts;
    QComboBox* cbPorts;
    QPushButton* btnConnect;
    QLabel* imgLogo;
    QGroupBox* grpMeasurements;
    QToolButton* btnOpen;
    QToolButton* btnSaveToFile;
    QGroupBox* grpDevice;
    QLabel* lblConectedDeviceName;
    QToolButton* btnImport;
    QTabWidget* pgMerania;
    std::array<QTableView*, 3> ListViews{};
    QWidget* pnlDeviceBottomButtons;
    QPushButton* btnCheckUnCheckAll;
    QPushButton* btnExport;
    QMenu* Edit1;
    QAction* Serialportsettings1;
    QAction* Exportsettings1;
    QAction* LossBudget1;
    QAction* N1;
    QAction* Exit1;
    QMenu* PopupMenuExport;
    QAction* ppExportToExcel;
    QAction* ppExportToClipboard;
    QAction* ppExportToXlsx;
    QAction* ppExportToCsv;
    QAction* ppExportToPdf;
    QLabel* lblStatus;
    QPushButton* btnCancelImport;

    TComPort& ComPort1() { return *comPort1_; }
    TDeviceSession& Session() { return *session_; }
    TMeasurementModel& Model(TTablePage page) { return *models_.at(static_cast<int>(page)); }

    bool FirstActivation() const { return firstActivation_; }
    int BottomMargin() const { return bottomMargin_; }
    int PageBottomGap() const { return pageBottomGap_; }
    const std::array<std::string, 3>& CheckCaptions() const { return checkCaptions_; }
    // The status line's whole text (the label may show it cut short).
    QString StatusText() const { return statusText_; }
    // The budget the rows are judged by; none when no budget is set.
    const std::optional<TBudget>& Budget() const { return budget_; }
    // Sets the budget (none clears it), keeps it for the next start and judges the rows
    // again.
    void SetBudget(std::optional<TBudget> budget);
    // The set shown came from an import and has been neither saved nor exported.
    bool UnsavedImport() const { return unsavedImport_; }
    bool Ticking() const;

    // Window operations (each ends with an exception on failure; the controls' signals run
    // them under the application's default error handler).
    void FormActivate();
    void FormResize();
    void LoadDataToAllListView();
    const TMeasurementTable& GetActiveListView() const;
    void SetAllItemsChecked(TTablePage page, bool checked);
    void btnCheckUnCheckAllClick();
    void SetDefaultButtonCaptionsForCheck();
    void pgMeraniaChanging(int pageLeft);
    void pgMeraniaChange(int pageShown);
    void imgLogoDblClick(Qt::KeyboardModifiers modifiers);
    void cbPortsChange();
    // F5: asks first while an import is under way, which the refresh would end.
    void btnRefreshPortsClick();
    // Esc and Cancel: the status line speaks of kept measurements only when there are some.
    void btnCancelImportClick();
    void Exit1Click();

    void Serialportsettings1Click();
    void Exportsettings1Click();
    void LossBudget1Click();
    void btnSaveToFileClick();
    void btnOpenClick();
    void btnExportClick();
    void ppExportToExcelClick();
    void ppExportToClipboardClick();
    void ppExportToXlsxClick();
    void ppExportToCsvClick();
    void ppExportToPdfClick();

    // The Job menu, with the job, its archive and the job window.
    TJobMenu& JobMenu() { return *jobMenu_; }

    // ISessionView
    void SetDeviceLabelText(const std::string& text) override;
    std::string DeviceLabelText() const override;
    void SetDeviceLabelColor(TRgb color) override;
    void SetDeviceLabelLeft(int left) override;
    int DeviceLabelLeft() const override;
    void RepaintDeviceLabel() override;
    void SetImportEnabled(bool enabled) override;
    void SetImportCaption(const std::string& caption) override;
    std::string ImportCaption() const override;
    void SetPortListEnabled(bool enabled) override;
    void ClearPortList() override;
    void AddPorts(const std::vector<std::string>& names) override;
    std::optional<std::string> SelectedPort() const override;
    void SetBusyCursor(bool busy) override;
    void RefillViews() override;
    void BlockFor(int milliseconds) override;
    void ReportError(const std::string& message) override;
    void ShowStatus(const std::string& text) override;
    void ShowImportProgress(std::size_t bytes, std::size_t lines) override;

    // IJobMenuHost
    const TMeraniaArray& ShownRecords() const override;
    const std::string& RecordsSource() const override { return recordsSource_; }
    const std::string& RecordsMeter() const override { return recordsMeter_; }
    void ShowStatusText(const QString& text) override;
    const std::optional<TBudget>& WindowBudget() const override { return budget_; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void BuildLayout();
    void BuildMenus();
    void BuildTables();
    void BuildStatusLine();
    void BuildKeyboard();
    void ConnectCommands();
    void ShowCounts();
    // The rows of each kind, with their verdicts while a budget judges them.
    std::string CountsText() const;
    void JudgeRows();
    // The verdicts of the page's rows for an export; nullptr without a budget.
    const std::vector<TVerdict>* ExportVerdicts(std::vector<TVerdict>& storage) const;
    void ElideStatus();
    void FitDeviceLabel();
    void FollowPortState();
    void ToggleCurrentRow(QTableView* view);
    void HighlightShownTab();
    // Offers to save an unsaved import before it is lost; false when the user keeps it.
    bool MayDropImport(const QString& before);
    // Asks before an import under way is ended; true when none runs or the user agrees.
    bool MayEndImport();
    // Reads settings.ini at start; what the status line should say of it (a file made).
    QString LoadSettingsAtStart();
    // What the status line says of the kept budget at start: in use, or dropped.
    QString LoadBudget();
    void PlaceDeviceBottomButtons();
    void FixOuterWidth();
    void FollowFrame();
    QMargins Frame() const;
    int FrameWidth() const;
    int FrameHeight() const;
    void GrowToWorkingHeight();
    // A dump the worker made ready, on the window thread: handed to the session, which
    // refills the views from it unless the import has ended since.
    void TakeReadDump(TReadDump& read);
    // Fills the models from Merania, or moves in what the worker made for this very set.
    void FillModels();

    TfrmMainOptions options_;
    TSynchronizer synchronizer_;
    std::unique_ptr<TComPort> comPort1_;
    std::unique_ptr<TDeviceSession> session_;
    std::array<TMeasurementModel*, 3> models_{};
    TfrmAbout* frmAbout_ = nullptr;
    TfrmSerialPortSettings* frmSerialPortSettings_ = nullptr;
    TfrmExportSettings* frmExportSettings_ = nullptr;

    bool firstActivation_ = true;
    int bottomMargin_ = 0;
    int pageBottomGap_ = 0;
    std::array<std::string, 3> checkCaptions_;
    int shownPage_ = 0;
    // The frame the outer sizes were last fixed for; a window manager adds it only after the
    // window is shown.
    QSize appliedFrame_{0, 0};
    // The window has been given its working height; from then on a new frame keeps the
    // outer height.
    bool grown_ = false;
    bool frameRereadPending_ = false;
    int frameRereads_ = 0;
    QTimer* tickTimer_ = nullptr;
    QString statusText_;
    bool unsavedImport_ = false;
    std::optional<TBudget> budget_;
    // One verdict per record of Merania while a budget is set; the models share it.
    std::shared_ptr<const std::vector<TVerdict>> verdicts_;
    // Each fibre's result counted, made with verdicts_ rather than each time the counts show.
    TVerdictCounts fibreCounts_;
    // The device label's text and Left as the session set them; the label may show less.
    std::string deviceLabelText_;
    int deviceLabelLeft_ = 0;
    // What the worker made of the dump the session is taking now; only while it takes it.
    TReadDump* readDump_ = nullptr;
    // The Job menu: the job, its archive's thread and the job window.
    std::unique_ptr<TJobMenu> jobMenu_;
    // Where the records shown came from (a file or a port), and the meter's name line when
    // they came from one; empty when the tables hold no import or opened file.
    std::string recordsSource_;
    std::string recordsMeter_;
    // What the parse of the records shown left out ("1 record left out: ..."), for the
    // status line; set by whoever parsed the set before it is loaded.
    std::string leftOut_;
    std::string nextLeftOut_;
    // Last: stopped (its dump finished) before anything its results reach goes.
    std::unique_ptr<TDumpWorker> dumpWorker_;
};
