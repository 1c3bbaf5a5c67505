// The designed layout of the main window: absolute positions in the parents' client
// coordinates, as the window was drawn.
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include "app/common/DesignFonts.h"
#include "app/common/Pictures.h"
#include "app/main/MeasurementModel.h"
#include "app/main/frmMain.h"

namespace {

constexpr int LogoLeft = 9;
constexpr int LogoTop = 120;
constexpr int LogoBottom = 140;
constexpr int LogoWidth = 120;
constexpr int PanelHeight = 43;
constexpr int GroupBorder = 2;
constexpr int RowHeight = 18;
constexpr std::array<int, TMeasurementTable::ColumnCount> ColumnWidths{20, 50, 50, 80, 80, 80};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

QToolButton* MakePictureButton(QWidget* parent, const char* name, const QString& caption,
                               const char* picture, QRect geometry) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    // Tool buttons take the platform's tool-button font, not the window's.
    button->setFont(DesignFont());
    button->setText(caption);
    button->setIcon(Picture(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setGeometry(geometry);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(geometry);
    return group;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QPoint position) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->move(position);
    label->adjustSize();
    return label;
}

}  // namespace

void TfrmMain::BuildLayout() {
    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    // Group captions sit in the frame's top line, as the window was drawn.
    ClientArea->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px; }"));
    setCentralWidget(ClientArea);

    grpbUSBkom = MakeGroup(ClientArea, "grpbUSBkom", QStringLiteral(" Connecting to device "),
                           {8, 3, 121, 110});
    btnRefreshPorts = MakeButton(grpbUSBkom, "btnRefreshPorts", QStringLiteral("Refresh ports"),
                                 {16, 20, 89, 29});
    lblSerialPorts =
        MakeLabel(grpbUSBkom, "lblSerialPorts", QStringLiteral("Serial ports:"), {31, 55});
    cbPorts = new QComboBox(grpbUSBkom);
    cbPorts->setObjectName(QStringLiteral("cbPorts"));
    cbPorts->setEditable(false);
    cbPorts->setGeometry(17, 75, 87, 21);
    // The list was drawn for names like COM1; a narrower arrow and margin leave room for a
    // whole /dev/ttyUSB0, whose last character is the one that tells the ports apart.
    cbPorts->setStyleSheet(QStringLiteral(
        "QComboBox { padding: 0px 0px 0px 2px; } QComboBox::drop-down { width: 14px; }"));
    btnConnect = MakeButton(grpbUSBkom, "btnConnect", QStringLiteral("Connect"), {16, 75, 89, 25});
    btnConnect->hide();

    imgLogo = new QLabel(ClientArea);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAlignment(Qt::AlignCenter);
    imgLogo->setAttribute(Qt::WA_TranslucentBackground);
    imgLogo->setPixmap(Picture("logo").pixmap(QSize(112, 56)));
    imgLogo->installEventFilter(this);

    grpMeasurements = MakeGroup(ClientArea, "grpMeasurements", QStringLiteral(" Measurements "),
                                {8, 192, 121, 131});
    btnOpen = MakePictureButton(grpMeasurements, "btnOpen", QStringLiteral("Open"), "open",
                                {16, 23, 89, 42});
    btnSaveToFile = MakePictureButton(grpMeasurements, "btnSaveToFile", QStringLiteral("Save"),
                                      "save", {16, 77, 89, 42});

    grpDevice = MakeGroup(ClientArea, "grpDevice", QStringLiteral(" Connected device "),
                          {135, 3, 481, 320});
    // Made before the Import button so that a long name passes under the button.
    lblConectedDeviceName = MakeLabel(grpDevice, "lblConectedDeviceName", QString(), {155, 20});
    lblConectedDeviceName->setFont(DesignFont(16, true));
    // The device's name is data: shown as it came, never as markup.
    lblConectedDeviceName->setTextFormat(Qt::PlainText);
    deviceLabelLeft_ = lblConectedDeviceName->x();
    // A tool button: its narrower margins leave room for the picture and the whole caption.
    btnImport = MakePictureButton(grpDevice, "btnImport", QStringLiteral("Import from device"),
                                  "import", {336, 16, 129, 29});
    btnImport->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnImport->setStyleSheet(QStringLiteral("QToolButton { padding: 0px; }"));
    btnImport->setEnabled(false);

    pgMerania = new QTabWidget(grpDevice);
    pgMerania->setObjectName(QStringLiteral("pgMerania"));
    pgMerania->setGeometry(16, 46, 449, 227);
    pgMerania->tabBar()->setFont(DesignFont(13, true));
    BuildTables();
    HighlightShownTab();

    pnlDeviceBottomButtons = new QWidget(grpDevice);
    pnlDeviceBottomButtons->setObjectName(QStringLiteral("pnlDeviceBottomButtons"));
    btnCheckUnCheckAll = MakeButton(pnlDeviceBottomButtons, "btnCheckUnCheckAll",
                                    QStringLiteral("Check all"), {14, 4, 121, 29});
    btnCheckUnCheckAll->setIcon(Picture("checkall"));
    btnExport = MakeButton(pnlDeviceBottomButtons, "btnExport", QStringLiteral("Export checked"),
                           {153, 4, 121, 29});
    btnExport->setIcon(Picture("export"));
    PlaceDeviceBottomButtons();

    grpDevice->installEventFilter(this);
    BuildMenus();
    BuildStatusLine();
}

void TfrmMain::HighlightShownTab() {
    // The tab of the page shown is drawn highlighted, the others as the style draws them.
    QTabBar* tabs = pgMerania->tabBar();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setTabTextColor(
            i, i == pgMerania->currentIndex() ? palette().color(QPalette::Highlight) : QColor());
    }
}

void TfrmMain::BuildTables() {
    static constexpr std::array<TTablePage, 3> pages{TTablePage::All, TTablePage::Absolute,
                                                     TTablePage::Relative};
    static constexpr std::array<const char*, 3> tabCaptions{"  All", "Absolute", "Relative"};
    static constexpr std::array<const char*, 3> names{"ListViewAll", "ListViewAbsolute",
                                                      "ListViewRelative"};
    for (std::size_t i = 0; i < pages.size(); ++i) {
        models_[i] = new TMeasurementModel(pages[i], this);
        auto* page = new QWidget(pgMerania);
        auto* layout = new QHBoxLayout(page);
        layout->setContentsMargins(16, 16, 16, 16);

        auto* view = new QTableView(page);
        view->setObjectName(QLatin1String(names[i]));
        view->setModel(models_[i]);
        view->setShowGrid(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSortingEnabled(false);
        view->setWordWrap(false);
        view->setCornerButtonEnabled(false);
        view->verticalHeader()->hide();
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(RowHeight);
        view->horizontalHeader()->setSectionsClickable(false);
        view->horizontalHeader()->setHighlightSections(false);
        view->horizontalHeader()->setStretchLastSection(false);
        view->horizontalHeader()->setMinimumSectionSize(0);
        for (int column = 0; column < TMeasurementTable::ColumnCount; ++column) {
            view->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
            view->setColumnWidth(column, ColumnWidths[static_cast<std::size_t>(column)]);
        }
        layout->addWidget(view);
        ListViews[i] = view;
        pgMerania->addTab(page, QLatin1String(tabCaptions[i]));
    }
    pgMerania->setCurrentIndex(0);
}

void TfrmMain::BuildMenus() {
    // Alt and the underlined letter open a menu; an item that opens a dialog ends in an
    // ellipsis.
    Edit1 = menuBar()->addMenu(QStringLiteral("&Options"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Serialportsettings1 = Edit1->addAction(QStringLiteral("Serial port settings\u2026"));
    Serialportsettings1->setObjectName(QStringLiteral("Serialportsettings1"));
    Exportsettings1 = Edit1->addAction(QStringLiteral("Export settings\u2026"));
    Exportsettings1->setObjectName(QStringLiteral("Exportsettings1"));
    LossBudget1 = Edit1->addAction(QStringLiteral("Loss budget\u2026"));
    LossBudget1->setObjectName(QStringLiteral("LossBudget1"));
    N1 = Edit1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Exit1 = Edit1->addAction(Picture("exit"), QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));

    PopupMenuExport = new QMenu(this);
    PopupMenuExport->setObjectName(QStringLiteral("PopupMenuExport"));
    ppExportToExcel = PopupMenuExport->addAction(QStringLiteral("Export to Excel\u2026"));
    ppExportToExcel->setObjectName(QStringLiteral("ppExportToExcel"));
    ppExportToClipboard = PopupMenuExport->addAction(QStringLiteral("Export to Clipboard"));
    ppExportToClipboard->setObjectName(QStringLiteral("ppExportToClipboard"));
    ppExportToXlsx =
        PopupMenuExport->addAction(QStringLiteral("Export to Excel workbook (.xlsx)\u2026"));
    ppExportToXlsx->setObjectName(QStringLiteral("ppExportToXlsx"));
    ppExportToCsv = PopupMenuExport->addAction(QStringLiteral("Export to CSV\u2026"));
    ppExportToCsv->setObjectName(QStringLiteral("ppExportToCsv"));
    ppExportToPdf = PopupMenuExport->addAction(QStringLiteral("Test report (PDF)\u2026"));
    ppExportToPdf->setObjectName(QStringLiteral("ppExportToPdf"));

    TJobMenuOptions jobOptions;
    jobOptions.Dialogs = options_.JobDialogs;
    jobOptions.FileDialogs = options_.FileDialogs;
    jobOptions.SettingsFile = options_.JobSettingsFile;
    jobMenu_ = std::make_unique<TJobMenu>(*this, *this, std::move(jobOptions));
}

void TfrmMain::PlaceDeviceBottomButtons() {
    // Docked to the bottom of the device group, inside its border.
    pnlDeviceBottomButtons->setGeometry(GroupBorder,
                                        grpDevice->height() - GroupBorder - PanelHeight,
                                        grpDevice->width() - 2 * GroupBorder, PanelHeight);
}

void TfrmMain::FormResize() {
    const int clientHeight = ClientArea->height();
    grpMeasurements->move(grpMeasurements->x(),
                          clientHeight - grpMeasurements->height() - bottomMargin_);
    grpDevice->resize(grpDevice->width(), clientHeight - grpDevice->y() - bottomMargin_);
    pgMerania->resize(pgMerania->width(), grpDevice->height() - pgMerania->y() - pageBottomGap_);
    PlaceDeviceBottomButtons();
    // The logo keeps its margins to the window's edges, its picture centred between them.
    imgLogo->setGeometry(LogoLeft, LogoTop, LogoWidth,
                         std::max(0, clientHeight - LogoTop - LogoBottom));
}
