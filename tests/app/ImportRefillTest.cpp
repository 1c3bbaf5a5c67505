// An imported dump reaches the tables: parsed and made into rows off the window thread, shown
// by a queued call, and dropped when its import has ended since.
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "app/WindowFixture.h"
#include "app/main/MeasurementModel.h"

namespace {

const std::string RefillDump =
    "C1\tF1\t1310\t-3.52\n\r"
    "C1\tF2\t1550\t-2.5\t-10\n\r"
    "C2\tF1\t1310\t-7\n\r"
    "\n\r";

class TImportRefillTest : public TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        CreateWindow();
        // The first start's missing settings.ini.
        errors_.clear();
    }

    // The bytes as the serial component delivers them.
    void Deliver(const std::string& bytes) { frm_->Session().ComPort1ReceiveCallBack(bytes); }

    QColor Background(TTablePage page, int row) {
        QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
        return model->index(row, 1).data(Qt::BackgroundRole).value<QColor>();
    }
};

TEST_F(TImportRefillTest, TheRowsComeThroughTheEventLoopNotInTheDelivery) {
    LoadRecords({Absolute("old", "1", 1310, -1)});
    Deliver(RefillDump);
    // The delivery returns at once: the previous set is still what the window shows.
    EXPECT_EQ(Rows(TTablePage::All), 1);
    EXPECT_EQ(Merania.size(), 1u);
    EXPECT_TRUE(frm_->Session().ReadingAside());

    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 3; }, PatientWaitMs));
    EXPECT_FALSE(frm_->Session().ReadingAside());
    ASSERT_EQ(Merania.size(), 3u);
    EXPECT_EQ(Rows(TTablePage::Absolute), 2);
    EXPECT_EQ(Rows(TTablePage::Relative), 1);
    EXPECT_EQ(Cell(TTablePage::All, 2, 1), QStringLiteral("C2"));
    EXPECT_EQ(Cell(TTablePage::Relative, 0, 4), QStringLiteral("-2.5"));
    EXPECT_TRUE(frm_->UnsavedImport());
    EXPECT_TRUE(errors_.empty());
}

TEST_F(TImportRefillTest, TheRowsComeJudgedByTheBudgetInForceWhenTheyArrive) {
    TBudget strict;
    strict.MaxLossDb = {{1550, 2.0}};
    TBudget loose;
    loose.MaxLossDb = {{1550, 3.0}};
    frm_->SetBudget(strict);
    Deliver(RefillDump);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Rows(TTablePage::All) == 3; }, PatientWaitMs));
    EXPECT_EQ(Background(TTablePage::All, 1), VerdictBackgroundColour(TVerdictKind::Fail));

    // The budget changes while the worker judges by the old one: the rows get the new one's.
    frm_->Session().ReceivedText.clear();
    Deliver(RefillDump);
    frm_->SetBudget(loose);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frm_->Session().ReadingAside(); }, PatientWaitMs));
    EXPECT_EQ(Background(TTablePage::All, 1), VerdictBackgroundColour(TVerdictKind::Pass));
    EXPECT_EQ(Background(TTablePage::Relative, 0), VerdictBackgroundColour(TVerdictKind::Pass));
}

TEST_F(TImportRefillTest, ADumpWhoseImportEndedNeverReachesTheTables) {
    LoadRecords({Absolute("old", "1", 1310, -1)});
    QSignalSpy resets(&frm_->Model(TTablePage::All), &QAbstractItemModel::modelReset);
    Deliver(RefillDump);
    frm_->Session().btnRefreshPortsClick();
    EXPECT_FALSE(frm_->Session().ReadingAside());
    // One more dump after it: once its rows are shown the first one's answer has come too.
    frm_->Session().ReceivedText.clear();
    Deliver("C9\tF9\t850\t-1\n\r\n\r");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frm_->Session().ReadingAside(); }, PatientWaitMs));
    EXPECT_EQ(resets.count(), 1);
    ASSERT_EQ(Rows(TTablePage::All), 1);
    EXPECT_EQ(Cell(TTablePage::All, 0, 1), QStringLiteral("C9"));
}

TEST_F(TImportRefillTest, ARejectedDumpIsReportedAndThePreviousRowsStay) {
    LoadRecords({Absolute("old", "1", 1310, -1)});
    Deliver("C1\tF1\t1310\t-3,52\n\r\n\r");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !errors_.empty(); }, PatientWaitMs));
    EXPECT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(frm_->Session().ReadingAside());
    ASSERT_EQ(Rows(TTablePage::All), 1);
    EXPECT_EQ(Cell(TTablePage::All, 0, 1), QStringLiteral("old"));
    EXPECT_EQ(Merania.size(), 1u);
}

TEST_F(TImportRefillTest, TheWindowMayCloseWhileTheWorkerReads) {
    std::string large;
    for (int i = 0; i < 20000; ++i) {
        large += "C" + std::to_string(i) + "\tF1\t1310\t-3.52\n\r";
    }
    Deliver(large + "\n\r");
    DestroyWindow();
    // What the worker still hands back has no window to reach: nothing happens.
    QCoreApplication::processEvents();
    EXPECT_TRUE(errors_.empty());
}

}  // namespace
