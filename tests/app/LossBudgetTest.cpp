// The loss budget in the window: the dialog's texts to a budget and back, the dialog driven
// through its buttons, the rows' colours and tooltips, the counts, the budget kept between
// runs.
#include <QAction>
#include <QColor>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>

#include "app/WindowFixture.h"
#include "app/budget/BudgetForm.h"
#include "app/budget/frmLossBudget.h"
#include "app/common/WholeText.h"
#include "app/main/MeasurementModel.h"
#include "support/Throws.h"

namespace {

const QColor Green = VerdictBackgroundColour(TVerdictKind::Pass);
const QColor Red = VerdictBackgroundColour(TVerdictKind::Fail);
const QColor Amber = VerdictBackgroundColour(TVerdictKind::Check);

// Gives every kind of verdict on SampleRecords().
TBudget SampleBudget() {
    TBudget budget;
    budget.Name = "Riser \xC3\x84";
    budget.Preset = "tia-568-sm-isp";
    budget.Links = {{"1", 500, 2, 1}};
    budget.MaxLossDb = {{1550, 2.0}};
    budget.PowerDbm = {{1310, {-20.0, -3.0}}};
    return budget;
}

TMeraniaArray SampleRecords() {
    return {
        Relative("1", "1", 1310, -1.95, -10),  // 0.5 + 2 x 0.75 + 0.3 = 2.30: PASS by 0.35
        Absolute("1", "2", 1310, -25),         // under -20 dBm: FAIL by 5.00
        Relative("1", "3", 1550, -2.5, -10),   // the fixed 2.00: FAIL by 0.50
        Relative("2", "1", 1310, 0.5, -10),    // a gain: CHECK, though no limit
        Absolute("2", "2", 1550, -5),          // no window at 1550
        Relative("2", "3", 1310, -1.0, -10),   // no link for cable 2
        Absolute("2", "4", 1300, -10),         // 1310's window, 10 nm off: PASS by 7.00
    };
}

struct TRowLook {
    QColor Background;  // invalid: none
    QString ToolTip;
};

const TRowLook Pass0{Green, "Loss: 1.95 dB\nLimit: 2.30 dB\nMargin: 0.35 dB\nVerdict: PASS"};
const TRowLook Fail1{Red, "Margin to the power window: -5.00 dB\nVerdict: FAIL"};
const TRowLook Fail2{Red, "Loss: 2.50 dB\nLimit: 2.00 dB\nMargin: -0.50 dB\nVerdict: FAIL"};
const TRowLook Check3{Amber, "Loss: -0.50 dB\nVerdict: CHECK (a gain: take the reference again)"};
const TRowLook Pass6{Green, "Margin to the power window: 7.00 dB\nVerdict: PASS"};
const TRowLook Plain{};

class TLossBudgetTest : public TWindowTest {
protected:
    void ExpectLooks(TTablePage page, const std::vector<TRowLook>& looks) {
        QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
        ASSERT_EQ(model->rowCount(), static_cast<int>(looks.size()));
        for (int row = 0; row < model->rowCount(); ++row) {
            SCOPED_TRACE(row);
            const TRowLook& look = looks[static_cast<std::size_t>(row)];
            for (int column = 0; column < model->columnCount(); ++column) {
                const QVariant background = model->index(row, column).data(Qt::BackgroundRole);
                EXPECT_EQ(background.isValid(), look.Background.isValid()) << column;
                if (look.Background.isValid()) {
                    EXPECT_EQ(background.value<QColor>(), look.Background) << column;
                }
                EXPECT_EQ(model->index(row, column).data(Qt::ToolTipRole).toString(), look.ToolTip)
                    << column;
            }
        }
    }

    // Every text and tick of the three tables.
    std::vector<QString> Contents() {
        std::vector<QString> contents;
        for (TTablePage page : {TTablePage::All, TTablePage::Absolute, TTablePage::Relative}) {
            for (int row = 0; row < Rows(page); ++row) {
                contents.push_back(IsTicked(page, row) ? QStringLiteral("x") : QString());
                for (int column = 1; column < TMeasurementTable::ColumnCount; ++column) {
                    contents.push_back(Cell(page, row, column));
                }
            }
        }
        return contents;
    }

    static void StoreJson(const QString& json) {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("meridax"),
                           QStringLiteral("meridax"));
        settings.setValue(QStringLiteral("budget/json"), json);
        settings.sync();
    }
};

}  // namespace

TEST_F(TLossBudgetTest, RowsWithAVerdictAreColouredAndExplainedTextsAndTicksStay) {
    CreateWindow();
    LoadRecords(SampleRecords());
    Tick(TTablePage::All, 2);
    const std::vector<QString> before = Contents();
    ExpectLooks(TTablePage::All, {Plain, Plain, Plain, Plain, Plain, Plain, Plain});

    frm_->SetBudget(SampleBudget());
    ExpectLooks(TTablePage::All, {Pass0, Fail1, Fail2, Check3, Plain, Plain, Pass6});
    ExpectLooks(TTablePage::Absolute, {Fail1, Plain, Pass6});
    ExpectLooks(TTablePage::Relative, {Pass0, Fail2, Check3, Plain});
    EXPECT_EQ(Contents(), before);
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "7 measurements: 3 absolute (1 pass, 1 fail, 1 unjudged), 4 relative (1 pass, "
              "1 fail, 1 check, 1 unjudged); 3 fibres (1 pass, 1 fail, 1 check)");

    // A new set is judged as it comes.
    LoadRecords({Relative("1", "9", 1550, -2.01, -10)});
    ExpectLooks(TTablePage::Relative,
                {{Red, "Loss: 2.01 dB\nLimit: 2.00 dB\nMargin: -0.01 dB\nVerdict: FAIL"}});
    // A thousandth over the limit reads as a negative margin, never 0.00, and as a loss that
    // is not the limit's figure.
    LoadRecords({Relative("1", "9", 1550, -2.001, -10)});
    ExpectLooks(TTablePage::Relative,
                {{Red, "Loss: 2.001 dB\nLimit: 2.00 dB\nMargin: -0.001 dB\nVerdict: FAIL"}});
    LoadRecords({Relative("1", "9", 1550, -2.01, -10)});
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "1 measurement: 0 absolute, 1 relative (1 fail); 1 fibre (1 fail)");

    // The counts are grouped as the line's others are.
    LoadRecords(TMeraniaArray(1000, Relative("1", "1", 1550, -1, -10)));
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "1,000 measurements: 0 absolute, 1,000 relative (1,000 pass); 1 fibre (1 pass)");
    LoadRecords({Relative("1", "9", 1550, -2.01, -10)});

    // A budget without limits for these readings says so.
    frm_->SetBudget(TBudget{});
    ExpectLooks(TTablePage::All, {Plain});
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "1 measurement: 0 absolute, 1 relative; the loss budget judges none of them");

    frm_->SetBudget(std::nullopt);
    ExpectLooks(TTablePage::All, {Plain});
    EXPECT_EQ(frm_->StatusText().toStdString(), "1 measurement: 0 absolute, 1 relative");
}

TEST_F(TLossBudgetTest, AFormRoundTripsEveryFigureAndReadsWhatUsersType) {
    TBudget budget = SampleBudget();
    budget.LossSign = TLossSign::Positive;
    budget.GainToleranceDb = 0.1;
    budget.AttenuationDbPerKm = {{1310, 0.4}, {1625, 0.35}};
    budget.ConnectorDb = 0.5;
    budget.SpliceDb = 0.05;
    budget.Links.push_back({"*", 90, 2, 0});
    budget.PowerDbm[1550] = {std::nullopt, -1.5};
    EXPECT_EQ(BudgetFromForm(BudgetFormFrom(budget)), budget);

    TBudgetForm form;
    form.Links = {{" A ", "1,5", "", ""}, {"", "", "", ""}, {"B", "20", "2", "1"}};
    form.Power = {{"850", "-7", ""}};
    const TBudget read = BudgetFromForm(form);
    ASSERT_EQ(read.Links.size(), 2u);
    EXPECT_EQ(read.Links[0], (TLinkBudget{"A", 1.5, 0, 0}));
    EXPECT_EQ(read.Links[1], (TLinkBudget{"B", 20, 2, 1}));
    EXPECT_EQ(read.PowerDbm.at(850), (TPowerWindow{-7.0, std::nullopt}));
}

TEST_F(TLossBudgetTest, TheFormKeepsThePairRuleItDoesNotShow) {
    for (const std::optional<TPairRule> rule :
         {std::optional<TPairRule>(), std::optional(TPairRule::Worst),
          std::optional(TPairRule::Average)}) {
        TBudget budget = SampleBudget();
        budget.PairRule = rule;
        EXPECT_EQ(BudgetFormFrom(budget).PairRule, rule);
        EXPECT_EQ(BudgetFromForm(BudgetFormFrom(budget)), budget);
    }
}

// The dialog shows no pair rule; loading a budget that has one and saving it must not drop it.
TEST_F(TLossBudgetTest, TheDialogSavesAndHandsOverTheLoadedBudgetsPairRule) {
    const std::string loaded = dir_->File("pairs.json");
    const std::string saved = dir_->File("saved.json");
    TBudget budget = SampleBudget();
    budget.PairRule = TPairRule::Average;
    WriteBudgetFile(budget, loaded);
    fileDialogs_->Answers = {QString::fromStdString(loaded), QString::fromStdString(saved)};
    CreateWindow();
    TModalWatch watch([&](QWidget* shown) {
        auto* dialog = qobject_cast<TfrmLossBudget*>(shown);
        ASSERT_NE(dialog, nullptr);
        dialog->btnLoad->click();
        dialog->txtLaunch->setText(QStringLiteral("mandrel wrap"));
        dialog->btnSave->click();
        dialog->btnOk->click();
    });
    frm_->LossBudget1->trigger();
    ASSERT_TRUE(watch.Seen());
    budget.Launch = "mandrel wrap";
    EXPECT_EQ(ReadBudgetFile(saved), budget);
    ASSERT_TRUE(frm_->Budget().has_value());
    EXPECT_EQ(frm_->Budget()->PairRule, TPairRule::Average);
    EXPECT_EQ(*frm_->Budget(), budget);
}

TEST_F(TLossBudgetTest, NewCableRowsTakeTheStarLinksFiguresAndFillDown) {
    const TFormRows none = NewCableRows({{"1", "500", "2", "1", ""}}, {"1", "2", " ", "3", "2"});
    EXPECT_EQ(none, (TFormRows{{"2", "0", "2", "0", ""}, {"3", "0", "2", "0", ""}}));
    const TFormRows star =
        NewCableRows({{"*", "90", "4", "1", "iso-11801-om4"}, {"A", "5", "", "", ""}}, {"A", "B"});
    EXPECT_EQ(star, (TFormRows{{"B", "90", "4", "1", "iso-11801-om4"}}));

    TFormRows rows{{"A", "300", "2"}, {"B", "", "2"}, {"C"}, {"D", "7", "2"}};
    FillDown(rows, 1, 0, 2);
    EXPECT_EQ(rows,
              (TFormRows{{"A", "300", "2"}, {"B", "300", "2"}, {"C", "300"}, {"D", "7", "2"}}));
    FillDown(rows, 1, 3, 3);  // nothing below the row
    FillDown(rows, 1, 2, 9);  // past the last row: nothing
    EXPECT_EQ(rows[3][1], "7");

    // The new keys go through the form and back.
    TBudget budget = SampleBudget();
    budget.ReferenceMethod = TReferenceMethod::ThreeJumper;
    budget.EndConnectorDb = 0.5;
    budget.Launch = "mandrel wrap";
    budget.Links[0].Preset = "iso-11801-os2";
    budget.Links[0].AttenuationDbPerKm = {{1550, 0.3}};
    EXPECT_EQ(BudgetFromForm(BudgetFormFrom(budget)), budget);
}

TEST_F(TLossBudgetTest, ABadCellIsNamedWithItsTableAndRow) {
    struct TCase {
        TBudgetForm Form;
        const char* Message;
        TBudgetTable Table;
        int Row;
        int Column;
    };
    const auto links = [](TFormRows rows) {
        TBudgetForm form;
        form.Links = std::move(rows);
        return form;
    };
    TBudgetForm repeated;
    repeated.MaxLoss = {{"1310", "2"}, {"1550", "2"}, {"1310", "3"}};
    TBudgetForm wavelength;
    wavelength.Attenuation = {{"1310.5", "1"}};
    TBudgetForm negativeFigure;
    negativeFigure.Attenuation = {{"1310", "-1"}};
    TBudgetForm noBound;
    noBound.Power = {{"1310", " ", ""}};
    TBudgetForm crossed;
    crossed.Power = {{"1310", "-3", "-20"}};
    TBudgetForm tolerance;
    tolerance.GainToleranceDb = "x";
    TBudgetForm huge;
    huge.ConnectorDb = "1e305";
    huge.Links = {{"A", "1", "10000", "", ""}};
    TBudgetForm linkPreset;
    linkPreset.Links = {{"A", "1", "", "", "om4"}};
    const TCase cases[] = {
        {links({{"A", "5", "", ""}, {"B", "abc", "", ""}}),
         "Links, row 2, Length (m): 'abc' is not a number", TBudgetTable::Links, 1, 1},
        {links({{"A", "-1", "", ""}}), "Links, row 1, Length (m): must not be negative",
         TBudgetTable::Links, 0, 1},
        {links({{"A", "5", "1.5", ""}}),
         "Links, row 1, Connectors: '1.5' is not a whole number from 0 to 10000",
         TBudgetTable::Links, 0, 2},
        {links({{"A", "5", "", "-1"}}),
         "Links, row 1, Splices: '-1' is not a whole number from 0 to 10000", TBudgetTable::Links,
         0, 3},
        {links({{"A", "", "", ""}}), "Links, row 1, Length (m): is empty", TBudgetTable::Links, 0,
         1},
        {links({{"", "5", "", ""}}),
         "Links, row 1, Cable: is empty (a cable's text, or * for every other cable)",
         TBudgetTable::Links, 0, 0},
        {links({{"A", "5", "", ""}, {"A", "6", "", ""}}),
         "Links, row 2, Cable: repeats the cable 'A'", TBudgetTable::Links, 1, 0},
        {repeated, "Fixed limits, row 3, Wavelength (nm): repeats 1310 nm of row 1",
         TBudgetTable::MaxLoss, 2, 0},
        {wavelength,
         "Attenuation, row 1, Wavelength (nm): '1310.5' is not a whole number of nm, such as "
         "1310",
         TBudgetTable::Attenuation, 0, 0},
        {negativeFigure, "Attenuation, row 1, dB/km: must not be negative",
         TBudgetTable::Attenuation, 0, 1},
        {noBound, "Power windows, row 1, Min (dBm): give a minimum, a maximum or both",
         TBudgetTable::Power, 0, 1},
        {crossed, "Power windows, row 1, Max (dBm): is below the minimum", TBudgetTable::Power, 0,
         2},
        {tolerance, "Gain tolerance (dB): 'x' is not a number", TBudgetTable::None, 0, 0},
        {huge, "Budget: the figures of connector_db make a limit too large to compute",
         TBudgetTable::None, 0, 0},
        {linkPreset, "Links, row 1, Preset: 'om4' is no preset", TBudgetTable::Links, 0, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message);
        const auto e = ThrownBy<EBudgetFormError>([&] { BudgetFromForm(c.Form); });
        if (!e) {
            ADD_FAILURE() << "accepted";
            continue;
        }
        EXPECT_EQ(std::string(e->what()), c.Message);
        EXPECT_EQ(e->Table, c.Table);
        EXPECT_EQ(e->Row, c.Row);
        EXPECT_EQ(e->Column, c.Column);
    }
}

TEST_F(TLossBudgetTest, TheDialogLoadsAddsCablesRefusesABadCellSavesAndHandsTheBudgetOver) {
    const std::string loaded = dir_->File("riser.json");
    const std::string broken = dir_->File("broken.json");
    const std::string saved = dir_->File("saved.json");
    WriteBudgetFile(SampleBudget(), loaded);
    WriteFileBytes(broken, "{\"links\": 5}");
    fileDialogs_->Answers = {QString::fromStdString(broken), QString::fromStdString(loaded),
                             QString::fromStdString(saved)};
    CreateWindow();
    // Cable "\xC4" is Latin-1, as the meter sends it.
    LoadRecords({Relative("1", "1", 1310, -1.95, -10), Relative("2", "1", 1310, -0.5, -10),
                 Relative("\xC4", "1", 1310, -3, -10), Relative("1", "2", 1310, -1, -10)});
    errors_.clear();
    std::vector<std::string> afterBrokenLoad;
    TBudgetForm afterLoad;
    TModalWatch watch([&](QWidget* shown) {
        auto* dialog = qobject_cast<TfrmLossBudget*>(shown);
        ASSERT_NE(dialog, nullptr);
        ExpectTextsFit(dialog);
        dialog->btnLoad->click();
        afterBrokenLoad = errors_;
        EXPECT_EQ(dialog->Form(), TBudgetForm{});
        dialog->btnLoad->click();
        afterLoad = dialog->Form();
        dialog->btnAddCables->click();
        QTableWidget* table = dialog->tblLinks;
        ASSERT_EQ(table->rowCount(), 3);
        EXPECT_EQ(table->item(1, 0)->text(), QStringLiteral("2"));
        EXPECT_EQ(table->item(2, 0)->text(), QString(QChar(0xC4)));
        // Without a "*" link the new rows are 0 m with two connectors and no splice.
        for (int row = 1; row < 3; ++row) {
            EXPECT_EQ(table->item(row, 1)->text(), QStringLiteral("0"));
            EXPECT_EQ(table->item(row, 2)->text(), QStringLiteral("2"));
            EXPECT_EQ(table->item(row, 3)->text(), QStringLiteral("0"));
        }
        // Every bad cell is named by one OK, the cursor on the first.
        table->setItem(1, 1, new QTableWidgetItem(QString()));
        table->setItem(2, 2, new QTableWidgetItem(QStringLiteral("x")));
        table->setItem(2, 3, new QTableWidgetItem(QStringLiteral("-1")));
        dialog->btnOk->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(table->currentRow(), 1);
        EXPECT_EQ(table->currentColumn(), 1);
        table->setItem(1, 1, new QTableWidgetItem(QStringLiteral("90")));
        table->setItem(2, 2, new QTableWidgetItem(QStringLiteral("2")));
        table->setItem(2, 3, new QTableWidgetItem(QStringLiteral("0")));
        table->setItem(2, 1, new QTableWidgetItem(QStringLiteral("1000")));
        dialog->btnSave->click();
        dialog->btnOk->click();
    });
    frm_->LossBudget1->trigger();
    ASSERT_TRUE(watch.Seen());
    ASSERT_EQ(afterBrokenLoad.size(), 1u);
    EXPECT_EQ(afterBrokenLoad[0],
              "Budget file \"" + broken + "\": \"links\" must be a list, not a number");
    EXPECT_EQ(afterLoad, BudgetFormFrom(SampleBudget()));
    ASSERT_EQ(errors_.size(), 2u);
    EXPECT_EQ(errors_[1],
              "Links, row 2, Length (m): is empty\n"
              "Links, row 3, Connectors: 'x' is not a whole number from 0 to 10000\n"
              "Links, row 3, Splices: '-1' is not a whole number from 0 to 10000");

    TBudget expected = SampleBudget();
    expected.Links.push_back({"2", 90, 2, 0});
    expected.Links.push_back({"\xC3\x84", 1000, 2, 0});
    ASSERT_TRUE(frm_->Budget().has_value());
    EXPECT_EQ(*frm_->Budget(), expected);
    EXPECT_EQ(ReadBudgetFile(saved), expected);
    // The added cables judge their records: 1 km x 1.0 + 2 x 0.75 = 2.50 for the third.
    const TVerdict* third = frm_->Model(TTablePage::All).RowVerdict(2);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->Kind, TVerdictKind::Fail);
    EXPECT_DOUBLE_EQ(*third->Limit, 2.5);
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "4 measurements: 0 absolute, 4 relative (3 pass, 1 fail); 4 fibres (3 pass, 1 fail)");

    // Cancel changes nothing; No budget clears it.
    TModalWatch cancel(
        [](QWidget* shown) { static_cast<TfrmLossBudget*>(shown)->btnCancel->click(); });
    frm_->LossBudget1->trigger();
    ASSERT_TRUE(cancel.Seen());
    EXPECT_EQ(frm_->Budget(), expected);
    TModalWatch none(
        [](QWidget* shown) { static_cast<TfrmLossBudget*>(shown)->btnNoBudget->click(); });
    frm_->LossBudget1->trigger();
    ASSERT_TRUE(none.Seen());
    EXPECT_FALSE(frm_->Budget().has_value());
    EXPECT_EQ(frm_->Model(TTablePage::All).RowVerdict(2), nullptr);
}

TEST_F(TLossBudgetTest, TheBudgetIsKeptForTheNextStartOutsideSettingsIni) {
    CreateWindow();
    frm_->SetBudget(SampleBudget());
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Loss budget set: Riser ") + QChar(0xC4));
    frm_->close();
    DestroyWindow();
    EXPECT_EQ(ReadFileBytes(dir_->File("settings.ini")), "00.19200\r\n");
    EXPECT_NE(ReadFileBytes(dir_->File("config/meridax/meridax.conf")).find("tia-568-sm-isp"),
              std::string::npos);

    CreateWindow();
    EXPECT_EQ(frm_->Budget(), SampleBudget());
    // The restart says which budget judges the rows.
    EXPECT_EQ(frm_->StatusText(), QStringLiteral("Loss budget in use: Riser ") + QChar(0xC4));
    LoadRecords(SampleRecords());
    ExpectLooks(TTablePage::Absolute, {Fail1, Plain, Pass6});
    frm_->SetBudget(std::nullopt);
    EXPECT_EQ(frm_->StatusText().toStdString(), "7 measurements: 3 absolute, 4 relative");
    DestroyWindow();

    CreateWindow();
    EXPECT_FALSE(frm_->Budget().has_value());
}

TEST_F(TLossBudgetTest, AKeptBudgetThatNoLongerReadsIsDroppedWithAMessage) {
    StoreJson(QStringLiteral("{\"preset\": \"tia-999\"}"));
    CreateWindow();
    EXPECT_FALSE(frm_->Budget().has_value());
    EXPECT_EQ(frm_->StatusText().toStdString(),
              "The kept loss budget no longer reads and was dropped: Budget file \"" +
                  dir_->File("config/meridax/meridax.conf") +
                  "\": \"preset\" names no preset: 'tia-999' (known: tia-568-mm, "
                  "tia-568-sm-isp, tia-568-sm-osp, iso-11801-om3, iso-11801-om4, iso-11801-om5, "
                  "iso-11801-os1a, iso-11801-os2)");
    EXPECT_EQ(errors_, std::vector<std::string>{"File not found"});
    DestroyWindow();

    // Gone: the next start says nothing about it.
    CreateWindow();
    EXPECT_FALSE(frm_->Budget().has_value());
    EXPECT_EQ(frm_->StatusText(), QString());
}

// Every hint the dialog gives in an empty field is read whole at the dialog's own size, with
// a preset's figures and without.
TEST_F(TLossBudgetTest, EveryFieldsHintIsShownWhole) {
    CreateWindow();
    TModalWatch watch([&](QWidget* shown) {
        auto* dialog = qobject_cast<TfrmLossBudget*>(shown);
        ASSERT_NE(dialog, nullptr);
        for (const int preset : {0, dialog->cbPreset->count() - 1}) {
            dialog->cbPreset->setCurrentIndex(preset);
            dialog->layout()->activate();
            int hints = 0;
            for (const QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
                if (field->placeholderText().isEmpty() || !field->isVisible())
                    continue;
                ++hints;
                EXPECT_TRUE(ShowsPlaceholderWhole(*field))
                    << field->objectName().toStdString() << ": "
                    << field->placeholderText().toStdString() << " in " << field->width();
            }
            EXPECT_GE(hints, 5);
        }
        dialog->btnCancel->click();
    });
    frm_->LossBudget1->trigger();
    ASSERT_TRUE(watch.Seen());
}
