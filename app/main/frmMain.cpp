#include "app/main/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <clocale>

#include "app/common/DesignFonts.h"
#include "app/common/FileDialogs.h"
#include "app/common/Latin1.h"
#include "app/common/MeridaxApplication.h"
#include "app/main/DumpWorker.h"
#include "app/main/MeasurementModel.h"
#include "app/main/Questions.h"
#include "app/main/frmAbout.h"
#include "export/ClipboardText.h"
#include "session/ApplicationSettings.h"
#include "sys/FileErrors.h"

namespace {

constexpr const char* CheckAllCaption = "Check all";
constexpr const char* UncheckAllCaption = "Uncheck all";

// A button's setText gives it the caption's mnemonic as its shortcut, dropping the key it was
// given; the key stays whatever the caption says.
void SetCaption(QAbstractButton* button, const QString& caption) {
    const QKeySequence keys = button->shortcut();
    button->setText(caption);
    button->setShortcut(keys);
}

}  // namespace

TfrmMain::TfrmMain(TfrmMainOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    if (!options_.FileDialogs) {
        options_.FileDialogs = std::make_shared<TQtFileDialogs>();
    }
    if (!options_.Questions) {
        options_.Questions = std::make_shared<TMessageBoxQuestions>();
    }
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(TMeridaxApplication::Title));
    setFont(DesignFont());

    // The receive thread's hand-offs run on this thread from the event loop: each wake-up
    // posts one queued call that runs whatever is waiting.
    synchronizer_.SetWakeUp([this] {
        QMetaObject::invokeMethod(
            this, [this] { synchronizer_.RunPending(); }, Qt::QueuedConnection);
    });
    synchronizer_.SetErrorReport(
        [](const std::string& message) { ReportApplicationError(message); });
    comPort1_ = std::make_unique<TComPort>(synchronizer_, options_.PortBinding);
    session_ = std::make_unique<TDeviceSession>(*this, *comPort1_, options_.EnumeratePorts);
    // A large dump is parsed and its tables filled off the window thread, so that the window
    // keeps answering; the result comes back as a queued call.
    dumpWorker_ = std::make_unique<TDumpWorker>([this](TReadDump read) {
        auto shared = std::make_shared<TReadDump>(std::move(read));
        QMetaObject::invokeMethod(
            this,
            [this, shared]() mutable {
                RunCommand([&] { TakeReadDump(*shared); });
                // What the refill replaced is freed by the worker.
                dumpWorker_->Free(std::move(shared));
            },
            Qt::QueuedConnection);
    });
    session_->ReadDumpAside = [this](std::string text, std::uint64_t ticket) {
        dumpWorker_->Read(std::move(text), ticket, budget_);
    };

    BuildLayout();
    // The group boxes, styled by the client area's style sheet, do not hand the window's font
    // on to what they hold; every control without a font of its own is given it here.
    for (QWidget* control : ClientArea->findChildren<QWidget*>()) {
        if (!control->testAttribute(Qt::WA_SetFont)) {
            control->setFont(font());
            if (auto* label = qobject_cast<QLabel*>(control)) {
                label->adjustSize();
            }
        }
    }
    ClientArea->resize(DesignClientWidth, DesignClientHeight);
    // The distances FormResize keeps, taken from the layout as designed before any resize.
    bottomMargin_ = DesignClientHeight - grpMeasurements->y() - grpMeasurements->height();
    pageBottomGap_ = grpDevice->height() - pgMerania->y() - pgMerania->height();
    ClientArea->installEventFilter(this);

    FixOuterWidth();
    resize(width(), menuBar()->sizeHint().height() + DesignClientHeight + StatusLineHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    FormResize();
    ConnectCommands();
    BuildKeyboard();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    // The job window and the job's thread go first.
    jobMenu_.reset();
    // FormDestroy: destroying the serial component closes the port and ends its thread.
    dumpWorker_.reset();
    session_.reset();
    comPort1_.reset();
}

void TfrmMain::SetDialogs(TfrmAbout* about, TfrmSerialPortSettings* serialPortSettings,
                          TfrmExportSettings* exportSettings) {
    frmAbout_ = about;
    frmSerialPortSettings_ = serialPortSettings;
    frmExportSettings_ = exportSettings;
}

void TfrmMain::ConnectCommands() {
    auto command = [this](auto handler) {
        return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
    };
    // A session command may open or close the port, which starts or stops the ticks.
    auto sessionCommand = [this](void (TDeviceSession::*handler)()) {
        return [this, handler] {
            RunCommand([this, handler] { ((*session_).*handler)(); });
            FollowPortState();
        };
    };
    connect(cbPorts, &QComboBox::activated, this, command(&TfrmMain::cbPortsChange));
    connect(btnConnect, &QPushButton::clicked, this,
            sessionCommand(&TDeviceSession::btnConnectClick));
    connect(btnRefreshPorts, &QPushButton::clicked, this, [this] {
        RunCommand([this] { btnRefreshPortsClick(); });
        FollowPortState();
    });
    connect(btnImport, &QToolButton::clicked, this,
            sessionCommand(&TDeviceSession::btnImportClick));
    connect(btnCheckUnCheckAll, &QPushButton::clicked, this,
            command(&TfrmMain::btnCheckUnCheckAllClick));
    connect(btnExport, &QPushButton::clicked, this, command(&TfrmMain::btnExportClick));
    connect(btnOpen, &QToolButton::clicked, this, command(&TfrmMain::btnOpenClick));
    connect(btnSaveToFile, &QToolButton::clicked, this, command(&TfrmMain::btnSaveToFileClick));
    connect(Serialportsettings1, &QAction::triggered, this,
            command(&TfrmMain::Serialportsettings1Click));
    connect(Exportsettings1, &QAction::triggered, this, command(&TfrmMain::Exportsettings1Click));
    connect(LossBudget1, &QAction::triggered, this, command(&TfrmMain::LossBudget1Click));
    connect(Exit1, &QAction::triggered, this, command(&TfrmMain::Exit1Click));
    connect(btnCancelImport, &QPushButton::clicked, this, command(&TfrmMain::btnCancelImportClick));
    connect(ppExportToExcel, &QAction::triggered, this, command(&TfrmMain::ppExportToExcelClick));
    connect(ppExportToClipboard, &QAction::triggered, this,
            command(&TfrmMain::ppExportToClipboardClick));
    connect(ppExportToXlsx, &QAction::triggered, this, command(&TfrmMain::ppExportToXlsxClick));
    connect(ppExportToCsv, &QAction::triggered, this, command(&TfrmMain::ppExportToCsvClick));
    connect(ppExportToPdf, &QAction::triggered, this, command(&TfrmMain::ppExportToPdfClick));
    // The tab widget tells only after the change, so the page being left is kept here.
    connect(pgMerania, &QTabWidget::currentChanged, this, [this](int index) {
        RunCommand([this, index] {
            pgMeraniaChanging(shownPage_);
            pgMeraniaChange(index);
        });
    });
}

void TfrmMain::FormCreate() {
    firstActivation_ = true;
    session_->WaitingForDeviceName = false;
    // The application object switched the C library to the user's locale; number texts
    // always use "." whatever the regional settings.
    std::setlocale(LC_NUMERIC, "C");
    QString said = LoadSettingsAtStart();
    // Kept apart from settings.ini, whose one line holds nothing else.
    const QString budgetSaid = LoadBudget();
    if (!budgetSaid.isEmpty()) {
        said += (said.isEmpty() ? QString() : QStringLiteral("; ")) + budgetSaid;
    }
    if (!said.isEmpty()) {
        ShowStatusText(said);
    }
    SetDefaultButtonCaptionsForCheck();
    session_->RememberDesign();
    session_->SetNoConnectedDevice();
}

QString TfrmMain::LoadSettingsAtStart() {
    try {
        LoadApplicationSettings(comPort1_->Baud, options_.SettingsFile);
        return {};
    } catch (const EInOutError& e) {
        if (!options_.MakeMissingSettings || e.code() != std::errc::no_such_file_or_directory) {
            ReportError(e.what());
            return {};
        }
    } catch (const std::exception& e) {
        ReportError(e.what());
        return {};
    }
    // The desktop's first start: nothing is wrong, the file is made as closing would make it.
    const QString file = QString::fromStdString(options_.SettingsFile);
    try {
        SaveApplicationSettings(comPort1_->Baud, options_.SettingsFile);
    } catch (const std::exception& e) {
        return QStringLiteral(
                   "No settings file %1, and it could not be made (%2): the defaults "
                   "are used")
            .arg(file, FromBytes(e.what()));
    }
    return QStringLiteral("No settings file yet: made %1 with the defaults").arg(file);
}

QMargins TfrmMain::Frame() const {
    // Asked of the window system each time: the widget's own frame geometry is refreshed
    // only by a move or resize, which need not follow the manager's framing.
    const QWindow* window = windowHandle();
    return window != nullptr ? window->frameMargins() : QMargins();
}

int TfrmMain::FrameWidth() const {
    const QMargins frame = Frame();
    return frame.left() + frame.right();
}

int TfrmMain::FrameHeight() const {
    const QMargins frame = Frame();
    return frame.top() + frame.bottom();
}

void TfrmMain::FixOuterWidth() {
    // The outer width is 640 with the frame the window system draws; where there is no frame
    // (offscreen, an X server without window manager) the window itself is 640 wide.
    setFixedWidth(OuterWidth - appliedFrame_.width());
    setMinimumHeight(MinOuterHeight - appliedFrame_.height());
}

bool TfrmMain::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    switch (event->type()) {
        case QEvent::WindowActivate:
            FollowFrame();
            FormActivate();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            FollowFrame();
            break;
        default:
            break;
    }
    return result;
}

void TfrmMain::FollowFrame() {
    const QSize frame(FrameWidth(), FrameHeight());
    if (frame == appliedFrame_) {
        return;
    }
    // While a window manager takes the window over, the frame may read for a moment as the
    // difference to some other window (seen: -553), and no event need follow once it reads
    // right: it is read again shortly, a bounded number of times.
    constexpr int LargestFrame = 200;
    constexpr int FrameRereads = 40;
    if (frame.width() < 0 || frame.height() < 0 || frame.width() > LargestFrame ||
        frame.height() > LargestFrame) {
        if (!frameRereadPending_ && frameRereads_ < FrameRereads) {
            frameRereadPending_ = true;
            ++frameRereads_;
            QTimer::singleShot(50, this, [this] {
                frameRereadPending_ = false;
                FollowFrame();
            });
        }
        return;
    }
    const int heightChange = frame.height() - appliedFrame_.height();
    appliedFrame_ = frame;
    FixOuterWidth();
    // The outer height stays what it was before the frame came.
    if (grown_ && heightChange != 0) {
        resize(width(), std::max(minimumHeight(), height() - heightChange));
    }
}

void TfrmMain::GrowToWorkingHeight() {
    FollowFrame();
    resize(width(), WorkingOuterHeight - appliedFrame_.height());
    grown_ = true;
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (firstActivation_ && !grown_) {
        // The first showing comes before the window is mapped: a window manager then manages
        // it at its working height from the start. Asked for later, while the manager maps,
        // activates and configures the window in an order of its own, the growth may be
        // answered with the old size and lost.
        GrowToWorkingHeight();
    }
    // A window system without a window manager may never activate the window; the first
    // showing then stands for the first activation.
    if (firstActivation_) {
        QMetaObject::invokeMethod(
            this, [this] { RunCommand([this] { FormActivate(); }); }, Qt::QueuedConnection);
    }
}

void TfrmMain::FormActivate() {
    if (!firstActivation_) {
        return;
    }
    // Cleared first: the steps below may show a message box, which activates the window again.
    firstActivation_ = false;
    SetDeviceLabelLeft(120);
    SetDeviceLabelText("Detecting avaible ports...");
    // Already so when the first showing grew the window; the user may not have resized it
    // in between, since this runs before the event loop takes input.
    GrowToWorkingHeight();
    repaint();
    session_->FillPortList();
    cbPorts->setCurrentIndex(-1);
    session_->SetNoConnectedDevice();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    RunCommand([&] { mayClose = MayDropImport(QStringLiteral("closing")); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    FormClose();
    jobMenu_->CloseJobWindow();
    event->accept();
}

void TfrmMain::FormClose() {
    // The user asked to leave: a settings file that cannot be written is reported, and the
    // window closes all the same.
    try {
        SaveApplicationSettings(comPort1_->Baud, options_.SettingsFile);
    } catch (const std::exception& e) {
        ReportError(e.what());
    }
}

void TfrmMain::Exit1Click() {
    close();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ClientArea && event->type() == QEvent::Resize) {
        FormResize();
    } else if (watched == grpDevice && event->type() == QEvent::Resize) {
        PlaceDeviceBottomButtons();
    } else if (watched == lblStatus && event->type() == QEvent::Resize) {
        ElideStatus();
    } else if (event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
               static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        // Space ticks the current row whichever of its cells is current.
        for (QTableView* view : ListViews) {
            if (watched == view) {
                ToggleCurrentRow(view);
                return true;
            }
        }
    } else if (watched == imgLogo && event->type() == QEvent::MouseButtonDblClick) {
        const auto modifiers = static_cast<QMouseEvent*>(event)->modifiers();
        RunCommand([this, modifiers] { imgLogoDblClick(modifiers); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::imgLogoDblClick(Qt::KeyboardModifiers modifiers) {
    const bool ctrlAndShift =
        modifiers.testFlag(Qt::ControlModifier) && modifiers.testFlag(Qt::ShiftModifier);
    if (ctrlAndShift && frmAbout_ != nullptr) {
        frmAbout_->exec();
    }
}

void TfrmMain::cbPortsChange() {
    if (!MayEndImport()) {
        // The import goes on from its port, which the list shows again.
        cbPorts->setCurrentIndex(cbPorts->findText(FromBytes(comPort1_->Port)));
        return;
    }
    // The port already shown too: picking it connects afresh.
    btnConnect->click();
}

void TfrmMain::btnRefreshPortsClick() {
    if (MayEndImport()) {
        session_->btnRefreshPortsClick();
    }
}

void TfrmMain::btnCancelImportClick() {
    if (!session_->ImportUnderWay()) {
        return;
    }
    session_->CancelImport();
    if (Merania.empty()) {
        ShowStatus("Import cancelled");
    }
}

bool TfrmMain::MayEndImport() {
    if (!session_->ImportUnderWay()) {
        return true;
    }
    // The set shown came from this meter on this port: its size is what the meter held then.
    std::optional<std::size_t> total;
    if (!recordsMeter_.empty() && recordsSource_ == comPort1_->Port &&
        recordsMeter_ == DeviceLineFromLabel(DeviceLabelText())) {
        total = Merania.size();
    }
    return options_.Questions->AskEndImport(this,
                                            EndImportQuestion(session_->ImportLines(), total));
}

void TfrmMain::LoadDataToAllListView() {
    SetBusyCursor(true);
    SetDefaultButtonCaptionsForCheck();
    try {
        FillModels();
    } catch (...) {
        SetBusyCursor(false);
        throw;
    }
    SetBusyCursor(false);
    // A new set: whoever filled it says whether it still waits to be saved, and where it
    // came from.
    unsavedImport_ = false;
    recordsSource_.clear();
    recordsMeter_.clear();
    leftOut_ = std::exchange(nextLeftOut_, std::string());
    // The Job menu goes first when the window goes.
    if (jobMenu_) {
        jobMenu_->EnableCommands();
    }
    ShowCounts();
}

void TfrmMain::FillModels() {
    TReadDump* const read = std::exchange(readDump_, nullptr);
    // Records moved from the worker's set into Merania keep their place in memory: the
    // tables were made from this very set.
    const bool prepared = read != nullptr && read->RecordsAt == Merania.data() &&
                          read->Tables[0].RowCount() == Merania.size();
    if (!prepared) {
        FillMeasurementModels(Merania, *models_[0], *models_[1], *models_[2]);
        JudgeRows();
        return;
    }
    TakeMeasurementTables(std::move(read->Tables), *models_[0], *models_[1], *models_[2]);
    if (read->Budget != budget_) {
        JudgeRows();
        return;
    }
    // The old verdicts go with the worker's leftovers.
    std::swap(verdicts_, read->Verdicts);
    fibreCounts_ = read->FibreCounts;
    for (TMeasurementModel* model : models_) {
        model->SetVerdicts(verdicts_, Merania);
    }
}

void TfrmMain::TakeReadDump(TReadDump& read) {
    readDump_ = &read;
    read.RecordsAt = read.Reading.Records.data();
    nextLeftOut_ = DumpDamageText(read.Reading.Damage);
    try {
        session_->DumpRead(read.Ticket, read.Reading);
    } catch (...) {
        readDump_ = nullptr;
        throw;
    }
    readDump_ = nullptr;
}

const TMeasurementTable& TfrmMain::GetActiveListView() const {
    return models_.at(static_cast<std::size_t>(pgMerania->currentIndex()))->Table();
}

void TfrmMain::SetAllItemsChecked(TTablePage page, bool checked) {
    models_.at(static_cast<std::size_t>(page))->SetAllChecked(checked);
}

void TfrmMain::btnCheckUnCheckAllClick() {
    const auto page = static_cast<TTablePage>(pgMerania->currentIndex());
    // The caption decides, not the rows' states.
    if (btnCheckUnCheckAll->text() == QLatin1String(CheckAllCaption)) {
        SetAllItemsChecked(page, true);
        SetCaption(btnCheckUnCheckAll, QLatin1String(UncheckAllCaption));
    } else {
        SetAllItemsChecked(page, false);
        SetCaption(btnCheckUnCheckAll, QLatin1String(CheckAllCaption));
    }
}

void TfrmMain::SetDefaultButtonCaptionsForCheck() {
    SetCaption(btnCheckUnCheckAll, QLatin1String(CheckAllCaption));
    checkCaptions_.fill(CheckAllCaption);
}

void TfrmMain::pgMeraniaChanging(int pageLeft) {
    if (pageLeft >= 0 && pageLeft < static_cast<int>(checkCaptions_.size())) {
        checkCaptions_[static_cast<std::size_t>(pageLeft)] = ToBytes(btnCheckUnCheckAll->text());
    }
}

void TfrmMain::pgMeraniaChange(int pageShown) {
    shownPage_ = pageShown;
    HighlightShownTab();
    if (pageShown >= 0 && pageShown < static_cast<int>(checkCaptions_.size())) {
        SetCaption(btnCheckUnCheckAll,
                   FromBytes(checkCaptions_[static_cast<std::size_t>(pageShown)]));
    }
}

void TfrmMain::SetDeviceLabelText(const std::string& text) {
    deviceLabelText_ = text;
    FitDeviceLabel();
}

std::string TfrmMain::DeviceLabelText() const {
    return deviceLabelText_;
}

void TfrmMain::SetDeviceLabelColor(TRgb color) {
    QPalette palette = lblConectedDeviceName->palette();
    palette.setColor(QPalette::WindowText, QColor(color.Red, color.Green, color.Blue));
    lblConectedDeviceName->setPalette(palette);
}

void TfrmMain::SetDeviceLabelLeft(int left) {
    deviceLabelLeft_ = left;
    FitDeviceLabel();
}

int TfrmMain::DeviceLabelLeft() const {
    return deviceLabelLeft_;
}

void TfrmMain::RepaintDeviceLabel() {
    lblConectedDeviceName->repaint();
}

void TfrmMain::SetImportEnabled(bool enabled) {
    btnImport->setEnabled(enabled);
}

void TfrmMain::SetImportCaption(const std::string& caption) {
    SetCaption(btnImport, FromBytes(caption));
    // The caption marks an import under way; only then is there anything to cancel.
    btnCancelImport->setVisible(caption == TDeviceSession::ImportingCaption);
}

std::string TfrmMain::ImportCaption() const {
    return ToBytes(btnImport->text());
}

void TfrmMain::SetPortListEnabled(bool enabled) {
    cbPorts->setEnabled(enabled);
}

void TfrmMain::ClearPortList() {
    cbPorts->clear();
}

void TfrmMain::AddPorts(const std::vector<std::string>& names) {
    // Adding to an empty list would select the first entry; the selection stays as it was.
    const int selected = cbPorts->currentIndex();
    for (const std::string& name : names) {
        cbPorts->addItem(FromBytes(name));
    }
    cbPorts->setCurrentIndex(selected);
}

std::optional<std::string> TfrmMain::SelectedPort() const {
    if (cbPorts->currentIndex() < 0) {
        return std::nullopt;
    }
    return ToBytes(cbPorts->currentText());
}

void TfrmMain::SetBusyCursor(bool busy) {
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void TfrmMain::RefillViews() {
    LoadDataToAllListView();
    // Only the session refills after a dump: the new set exists nowhere else yet.
    unsavedImport_ = !Merania.empty();
    if (!Merania.empty()) {
        recordsSource_ = SelectedPort().value_or(std::string());
        recordsMeter_ = DeviceLineFromLabel(DeviceLabelText());
        jobMenu_->EnableCommands();
    }
}

const TMeraniaArray& TfrmMain::ShownRecords() const {
    return Merania;
}

void TfrmMain::BlockFor(int milliseconds) {
    if (options_.BlockFor) {
        options_.BlockFor(milliseconds);
    } else {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
}

void TfrmMain::ReportError(const std::string& message) {
    ReportApplicationError(message);
}
