#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "app/WindowFixture.h"
#include "app/common/MeridaxApplication.h"
#include "app/main/MeasurementModel.h"

namespace {

QColor LabelColor(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

}  // namespace

using TMainWindowTest = TWindowTest;

TEST_F(TMainWindowTest, StartShowsNoDeviceWithTheDesignedControls) {
    CreateWindow();
    EXPECT_EQ(frm_->windowTitle(), QStringLiteral("MERIDAX data exporter 1.1"));
    EXPECT_TRUE(frm_->FirstActivation());
    EXPECT_EQ(frm_->DeviceLabelText(), "No connected device");
    EXPECT_EQ(frm_->lblConectedDeviceName->x(), 155);
    EXPECT_EQ(LabelColor(frm_->lblConectedDeviceName), QColor(128, 128, 128));
    EXPECT_TRUE(frm_->lblConectedDeviceName->font().bold());
    EXPECT_EQ(frm_->lblConectedDeviceName->font().pixelSize(), 16);
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    EXPECT_EQ(frm_->btnImport->text(), QStringLiteral("Import from device"));
    EXPECT_EQ(frm_->Session().ImportButtonCaption, "Import from device");
    EXPECT_EQ(frm_->Session().DeviceLabelLeft, 155);
    EXPECT_FALSE(frm_->Session().WaitingForDeviceName);
    EXPECT_FALSE(frm_->btnConnect->isVisibleTo(frm_.get()));
    EXPECT_FALSE(frm_->cbPorts->isEditable());
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    EXPECT_EQ(frm_->CheckCaptions(),
              (std::array<std::string, 3>{"Check all", "Check all", "Check all"}));
    EXPECT_EQ(frm_->ClientArea->size(),
              QSize(TfrmMain::DesignClientWidth, TfrmMain::DesignClientHeight));
    EXPECT_EQ(frm_->BottomMargin(), 6);
    EXPECT_EQ(frm_->PageBottomGap(), 47);
    EXPECT_EQ(frm_->Edit1->title(), QStringLiteral("&Options"));
    ASSERT_EQ(frm_->Edit1->actions().size(), 5);
    EXPECT_EQ(frm_->Edit1->actions()[0], frm_->Serialportsettings1);
    EXPECT_EQ(frm_->Edit1->actions()[1], frm_->Exportsettings1);
    EXPECT_EQ(frm_->Edit1->actions()[2], frm_->LossBudget1);
    EXPECT_EQ(frm_->LossBudget1->text(), QStringLiteral("Loss budget\u2026"));
    EXPECT_TRUE(frm_->Edit1->actions()[3]->isSeparator());
    EXPECT_EQ(frm_->Edit1->actions()[4], frm_->Exit1);
    EXPECT_EQ(frm_->Exit1->text(), QStringLiteral("Exit"));
    EXPECT_FALSE(frm_->Exit1->icon().isNull());
    EXPECT_EQ(frm_->pgMerania->currentIndex(), 0);
    EXPECT_EQ(frm_->pgMerania->tabText(0), QStringLiteral("  All"));
    EXPECT_EQ(frm_->pgMerania->tabText(1), QStringLiteral("Absolute"));
    EXPECT_EQ(frm_->pgMerania->tabText(2), QStringLiteral("Relative"));
    EXPECT_TRUE(frm_->pgMerania->tabBar()->font().bold());
}

TEST_F(TMainWindowTest, ControlsStandWhereTheyWereDrawn) {
    CreateWindow();
    struct TCase {
        const char* name;
        QRect geometry;
    };
    const TCase cases[] = {
        {"grpbUSBkom", {8, 3, 121, 110}},  {"btnRefreshPorts", {16, 20, 89, 29}},
        {"cbPorts", {17, 75, 87, 21}},     {"grpMeasurements", {8, 192, 121, 131}},
        {"btnOpen", {16, 23, 89, 42}},     {"btnSaveToFile", {16, 77, 89, 42}},
        {"grpDevice", {135, 3, 481, 320}}, {"btnImport", {336, 16, 129, 29}},
        {"pgMerania", {16, 46, 449, 227}}, {"btnCheckUnCheckAll", {14, 4, 121, 29}},
        {"btnExport", {153, 4, 121, 29}},
    };
    for (const TCase& c : cases) {
        auto* widget = frm_->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
    }
    EXPECT_EQ(frm_->lblSerialPorts->pos(), QPoint(31, 55));
    EXPECT_EQ(frm_->lblSerialPorts->text(), QStringLiteral("Serial ports:"));
    EXPECT_EQ(frm_->grpbUSBkom->title(), QStringLiteral(" Connecting to device "));
    EXPECT_EQ(frm_->grpMeasurements->title(), QStringLiteral(" Measurements "));
    EXPECT_EQ(frm_->grpDevice->title(), QStringLiteral(" Connected device "));
    EXPECT_EQ(frm_->lblConectedDeviceName->y(), 20);
    // The button panel is docked to the bottom of the device group, 43 high.
    EXPECT_EQ(frm_->pnlDeviceBottomButtons->height(), 43);
    EXPECT_EQ(frm_->pnlDeviceBottomButtons->geometry().bottom(), frm_->grpDevice->height() - 3);
    for (const char* picture :
         {"btnOpen", "btnSaveToFile", "btnImport", "btnCheckUnCheckAll", "btnExport"}) {
        auto* button = frm_->findChild<QAbstractButton*>(QLatin1String(picture));
        ASSERT_NE(button, nullptr) << picture;
        EXPECT_FALSE(button->icon().isNull()) << picture;
    }
    ExpectTextsFit(frm_.get());
}

// Every control of the window uses the 11-pixel design font; the device label and the page
// tabs have their own bold sizes.
TEST_F(TMainWindowTest, ControlsUseTheDesignFonts) {
    CreateWindow();
    ShowAndActivate();
    QTabBar* tabs = frm_->pgMerania->tabBar();
    for (QWidget* widget : frm_->ClientArea->findChildren<QWidget*>()) {
        // The drop-down list of the port list is a window of its own.
        if (widget == frm_->lblConectedDeviceName || widget == tabs || tabs->isAncestorOf(widget) ||
            widget->window() != frm_.get()) {
            continue;
        }
        EXPECT_EQ(widget->font().pixelSize(), 11)
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
    EXPECT_EQ(frm_->lblConectedDeviceName->font().pixelSize(), 16);
    EXPECT_EQ(tabs->font().pixelSize(), 13);
    EXPECT_TRUE(tabs->font().bold());
}

// Linux port names are longer than the list was drawn for; the closed list still shows the
// whole name, last character included.
TEST_F(TMainWindowTest, PortListShowsAWholeUsbPortName) {
    ports_ = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
    CreateWindow();
    ShowAndActivate();
    const QString family = QFontInfo(frm_->cbPorts->font()).family();
    const QStringList narrow{"Tahoma", "Arial", "Liberation Sans", "Nimbus Sans", "Helvetica"};
    if (std::none_of(narrow.begin(), narrow.end(),
                     [&](const QString& name) { return family.startsWith(name); })) {
        GTEST_SKIP() << "no narrow sans-serif installed, " << family.toStdString() << " is used";
    }
    frm_->cbPorts->setCurrentIndex(1);
    QStyleOptionComboBox option;
    option.initFrom(frm_->cbPorts);
    option.rect = frm_->cbPorts->rect();
    const QRect field = frm_->cbPorts->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, frm_->cbPorts);
    EXPECT_GE(field.width(),
              frm_->cbPorts->fontMetrics().horizontalAdvance(frm_->cbPorts->currentText()));
    EXPECT_EQ(frm_->cbPorts->geometry(), QRect(17, 75, 87, 21));
}

TEST_F(TMainWindowTest, FirstActivationGrowsTheWindowAndListsThePorts) {
    std::string labelDuringEnumeration;
    int leftDuringEnumeration = 0;
    int calls = 0;
    TfrmMainOptions options;
    options.EnumeratePorts = [&](std::vector<std::string>* list) {
        ++calls;
        labelDuringEnumeration = frm_->DeviceLabelText();
        leftDuringEnumeration = frm_->lblConectedDeviceName->x();
        list->push_back("/dev/ttyS0");
        list->push_back("/dev/ttyV0");
    };
    CreateWindow(std::move(options));
    ShowAndActivate();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(labelDuringEnumeration, "Detecting avaible ports...");
    EXPECT_EQ(leftDuringEnumeration, 120);
    // Outer size: the frame the window system draws included.
    EXPECT_EQ(frm_->frameGeometry().width(), TfrmMain::OuterWidth);
    EXPECT_EQ(frm_->frameGeometry().height(), TfrmMain::WorkingOuterHeight);
    ASSERT_EQ(frm_->cbPorts->count(), 2);
    EXPECT_EQ(frm_->cbPorts->itemText(0), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(frm_->cbPorts->itemText(1), QStringLiteral("/dev/ttyV0"));
    EXPECT_EQ(frm_->cbPorts->currentIndex(), -1);
    EXPECT_EQ(frm_->DeviceLabelText(), "No connected device");
    EXPECT_EQ(frm_->lblConectedDeviceName->x(), 155);
    EXPECT_EQ(LabelColor(frm_->lblConectedDeviceName), QColor(128, 128, 128));
    EXPECT_FALSE(frm_->btnImport->isEnabled());
    EXPECT_TRUE(waits_.empty());

    // Later activations do nothing.
    frm_->FormActivate();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(frm_->cbPorts->count(), 2);
}

TEST_F(TMainWindowTest, ResizingKeepsTheGroupsAtTheBottomAndTheWidthFixed) {
    CreateWindow();
    ShowAndActivate();
    for (int height : {700, 400, 530, 1000}) {
        frm_->resize(900, height);
        ASSERT_TRUE(QTest::qWaitFor([&] { return frm_->height() == height; }, PatientWaitMs))
            << height;
        const int client = frm_->ClientArea->height();
        EXPECT_EQ(frm_->frameGeometry().width(), TfrmMain::OuterWidth) << height;
        EXPECT_EQ(frm_->grpMeasurements->geometry().bottom() + 1, client - 6) << height;
        EXPECT_EQ(frm_->grpDevice->geometry().bottom() + 1, client - 6) << height;
        EXPECT_EQ(frm_->grpDevice->y(), 3) << height;
        EXPECT_EQ(frm_->pgMerania->geometry().bottom() + 1, frm_->grpDevice->height() - 47)
            << height;
        // The button panel stays below the tables, inside the device group.
        EXPECT_GT(frm_->pnlDeviceBottomButtons->y(), frm_->pgMerania->geometry().bottom());
        EXPECT_LT(frm_->pnlDeviceBottomButtons->geometry().bottom(), frm_->grpDevice->height());
        // The logo sits between the two groups on the left.
        EXPECT_GE(frm_->imgLogo->y(), frm_->grpbUSBkom->geometry().bottom()) << height;
        EXPECT_LE(frm_->imgLogo->geometry().bottom(), frm_->grpMeasurements->y()) << height;
    }
    frm_->resize(640, 100);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return frm_->frameGeometry().height() == TfrmMain::MinOuterHeight; }, PatientWaitMs));
}

TEST_F(TMainWindowTest, TablesShowEachRecordOnAllAndOnItsOwnPage) {
    CreateWindow();
    LoadRecords({Relative("1", "1", 1310, 0.25, -10.5), Absolute("2", "1", 1310, -3.5),
                 Relative("3", "7", 1550, 0.000001, -10.4)});
    ASSERT_EQ(Rows(TTablePage::All), 3);
    ASSERT_EQ(Rows(TTablePage::Absolute), 1);
    ASSERT_EQ(Rows(TTablePage::Relative), 2);
    struct TCase {
        TTablePage page;
        int row;
        std::array<const char*, 5> texts;
    };
    const TCase cases[] = {
        {TTablePage::All, 0, {"1", "1", "1310", "0.25", "-10.5"}},
        {TTablePage::All, 1, {"2", "1", "1310", "-3.5", ""}},
        {TTablePage::All, 2, {"3", "7", "1550", "1E-6", "-10.4"}},
        {TTablePage::Absolute, 0, {"2", "1", "1310", "-3.5", ""}},
        {TTablePage::Relative, 0, {"1", "1", "1310", "0.25", "-10.5"}},
        {TTablePage::Relative, 1, {"3", "7", "1550", "1E-6", "-10.4"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Cell(c.page, c.row, 0), QString()) << c.row;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(Cell(c.page, c.row, i + 1), QLatin1String(c.texts[i]))
                << static_cast<int>(c.page) << " row " << c.row << " column " << i + 1;
        }
        EXPECT_FALSE(IsTicked(c.page, c.row));
    }
}

TEST_F(TMainWindowTest, ColumnsHaveThePagesCaptionsWidthsAndAlignment) {
    CreateWindow();
    const std::array<std::array<const char*, 6>, 3> captions{{
        {"", "Cable", "Fiber", "WaveLength", "dB/dBm", "Reference"},
        {"", "Cable", "Fiber", "WaveLength", "dBm", ""},
        {"", "Cable", "Fiber", "WaveLength", "dB", "Reference"},
    }};
    const std::array<int, 6> widths{20, 50, 50, 80, 80, 80};
    LoadRecords({Absolute("a", "b", 850, -1)});
    for (int page = 0; page < 3; ++page) {
        QTableView* view = frm_->ListViews[static_cast<std::size_t>(page)];
        ASSERT_EQ(view->model()->columnCount(), 6);
        for (int column = 0; column < 6; ++column) {
            EXPECT_EQ(
                HeaderCaption(static_cast<TTablePage>(page), column),
                QLatin1String(
                    captions[static_cast<std::size_t>(page)][static_cast<std::size_t>(column)]))
                << page << "/" << column;
            EXPECT_EQ(view->columnWidth(column), widths[static_cast<std::size_t>(column)]);
        }
        EXPECT_FALSE(view->isSortingEnabled());
        EXPECT_TRUE(view->showGrid());
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
    QAbstractItemModel* model = frm_->ListViews[0]->model();
    const auto alignment = [&](int column) {
        return model->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
               Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(1), Qt::AlignLeft);
    EXPECT_EQ(alignment(2), Qt::AlignLeft);
    EXPECT_EQ(alignment(3), Qt::AlignHCenter);
    EXPECT_EQ(alignment(4), Qt::AlignHCenter);
    EXPECT_EQ(alignment(5), Qt::AlignHCenter);
    EXPECT_TRUE(model->flags(model->index(0, 0)).testFlag(Qt::ItemIsUserCheckable));
    EXPECT_FALSE(model->flags(model->index(0, 1)).testFlag(Qt::ItemIsEditable));
}

// The user ticks a row by clicking its check box in the first column; a click elsewhere in
// the row selects the whole row and leaves the tick alone.
TEST_F(TMainWindowTest, ClickOnTheCheckBoxTicksTheRow) {
    CreateWindow();
    ShowAndActivate();
    LoadRecords({Absolute("1", "1", 1310, -3.5), Relative("1", "2", 1550, 0.3, -10)});
    QTableView* view = frm_->ListViews[0];
    const auto click = [&](int row, int column) {
        const QRect cell = view->visualRect(view->model()->index(row, column));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    };
    click(1, 0);
    EXPECT_FALSE(IsTicked(TTablePage::All, 0));
    EXPECT_TRUE(IsTicked(TTablePage::All, 1));
    click(0, 3);
    EXPECT_FALSE(IsTicked(TTablePage::All, 0));
    EXPECT_TRUE(view->selectionModel()->isRowSelected(0, {}));
    click(1, 0);
    EXPECT_FALSE(IsTicked(TTablePage::All, 1));
}

TEST_F(TMainWindowTest, EightBitTextsPassUnchanged) {
    CreateWindow();
    LoadRecords({Absolute("\xE9\x80\xFF", "f\x01", 1310, -3.5)});
    EXPECT_EQ(Cell(TTablePage::All, 0, 1), QString::fromLatin1("\xE9\x80\xFF"));
    EXPECT_EQ(frm_->Model(TTablePage::All).Table().SubItem(0, 0), "\xE9\x80\xFF");
    frm_->SetDeviceLabelText("M\xE8ter");
    EXPECT_EQ(frm_->DeviceLabelText(), "M\xE8ter");
}

TEST_F(TMainWindowTest, CheckAllDecidesOnItsCaptionAndEachPageRemembersIt) {
    CreateWindow();
    LoadRecords({Relative("1", "1", 1310, 0.25, -10.5), Absolute("2", "1", 1310, -3.5),
                 Relative("3", "1", 1550, 0.3, -10.4)});
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(IsTicked(TTablePage::All, row));
    }
    EXPECT_FALSE(IsTicked(TTablePage::Relative, 0));

    ShowPage(TTablePage::Relative);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    // A row ticked by hand does not change what the button offers.
    Tick(TTablePage::Relative, 0);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_TRUE(IsTicked(TTablePage::Relative, 0));
    EXPECT_TRUE(IsTicked(TTablePage::Relative, 1));
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    EXPECT_FALSE(IsTicked(TTablePage::Relative, 0));
    EXPECT_FALSE(IsTicked(TTablePage::Relative, 1));
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));

    ShowPage(TTablePage::Absolute);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    ShowPage(TTablePage::All);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Uncheck all"));
    EXPECT_EQ(frm_->CheckCaptions()[2], "Check all");
    // Unticking a row on All by hand: the button still offers to uncheck.
    Tick(TTablePage::All, 1, false);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    for (int row = 0; row < 3; ++row) {
        EXPECT_FALSE(IsTicked(TTablePage::All, row));
    }
}

TEST_F(TMainWindowTest, RefillUnticksEveryRowAndResetsAllCaptions) {
    CreateWindow();
    const TMeraniaArray records{Relative("1", "1", 1310, 0.25, -10.5),
                                Absolute("2", "1", 1310, -3.5)};
    LoadRecords(records);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    ShowPage(TTablePage::Absolute);
    QTest::mouseClick(frm_->btnCheckUnCheckAll, Qt::LeftButton);
    ShowPage(TTablePage::Relative);
    Tick(TTablePage::Relative, 0);
    LoadRecords(records);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    EXPECT_EQ(frm_->CheckCaptions(),
              (std::array<std::string, 3>{"Check all", "Check all", "Check all"}));
    EXPECT_FALSE(IsTicked(TTablePage::All, 0));
    EXPECT_FALSE(IsTicked(TTablePage::All, 1));
    EXPECT_FALSE(IsTicked(TTablePage::Absolute, 0));
    EXPECT_FALSE(IsTicked(TTablePage::Relative, 0));
    ShowPage(TTablePage::All);
    EXPECT_EQ(frm_->btnCheckUnCheckAll->text(), QStringLiteral("Check all"));
    EXPECT_NE(frm_->cursor().shape(), Qt::WaitCursor);

    LoadRecords({});
    EXPECT_EQ(Rows(TTablePage::All), 0);
    EXPECT_EQ(Rows(TTablePage::Absolute), 0);
    EXPECT_EQ(Rows(TTablePage::Relative), 0);
}

TEST_F(TMainWindowTest, GetActiveListViewFollowsThePageShown) {
    CreateWindow();
    for (TTablePage page : {TTablePage::Relative, TTablePage::All, TTablePage::Absolute}) {
        ShowPage(page);
        EXPECT_EQ(&frm_->GetActiveListView(), &frm_->Model(page).Table());
        EXPECT_EQ(frm_->GetActiveListView().Page(), page);
    }
}

TEST_F(TMainWindowTest, LogoOpensAboutOnlyWithCtrlAndShift) {
    CreateWindow();
    ShowAndActivate();
    struct TCase {
        Qt::KeyboardModifiers modifiers;
        bool opens;
    };
    const TCase cases[] = {
        {Qt::NoModifier, false},
        {Qt::ControlModifier, false},
        {Qt::ShiftModifier, false},
        {Qt::ControlModifier | Qt::AltModifier, false},
        {Qt::ControlModifier | Qt::ShiftModifier, true},
    };
    for (const TCase& c : cases) {
        QWidget* shown = nullptr;
        TModalWatch watch([&](QWidget* dialog) {
            shown = dialog;
            dialog->close();
        });
        QTest::mouseDClick(frm_->imgLogo, Qt::LeftButton, c.modifiers,
                           frm_->imgLogo->rect().center());
        if (c.opens) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return watch.Seen(); }, PatientWaitMs));
            EXPECT_EQ(shown, about_.get());
        } else {
            EXPECT_FALSE(watch.Seen()) << c.modifiers.toInt();
            EXPECT_FALSE(about_->isVisible());
        }
    }
    EXPECT_EQ(about_->windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(about_->size(), QSize(301, 184));
    EXPECT_EQ(about_->btnOk->text(), QStringLiteral("OK"));
    EXPECT_TRUE(about_->btnOk->isDefault());
    ExpectTextsFit(about_.get());
}

TEST_F(TMainWindowTest, ExitClosesTheWindow) {
    CreateWindow();
    ShowAndActivate();
    frm_->Exit1->trigger();
    EXPECT_FALSE(frm_->isVisible());
}

// An error that leaves any event handler is shown once, by the application, and the
// program goes on.
TEST_F(TMainWindowTest, ErrorLeavingAnEventHandlerIsShownAndTheProgramGoesOn) {
    class TThrowing : public QObject {
    public:
        bool event(QEvent* e) override {
            if (e->type() == QEvent::User) {
                throw std::runtime_error("broken command");
            }
            return QObject::event(e);
        }
    };
    TThrowing receiver;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&receiver, &event));
    ASSERT_EQ(errors_, std::vector<std::string>{"broken command"});
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(errors_.size(), 2u);
}
