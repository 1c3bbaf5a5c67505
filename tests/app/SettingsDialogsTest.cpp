#include <sys/stat.h>

#include <filesystem>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/WindowFixture.h"
#include "session/ApplicationSettings.h"

namespace {

struct TSettingsCase {
    const char* name;
    std::optional<std::string> file;  // nullopt: no settings.ini
    std::vector<std::string> errors;
    bool deviceDetails;
    bool tableHeader;
    std::string separator;
    std::uint32_t baud;
    std::string writtenAtClose;
};

const TSettingsCase SettingsCases[] = {
    {"NoFile", std::nullopt, {"File not found"}, false, false, ".", 19200, "00.19200\r\n"},
    {"BothOnCommaSlowLine", "11,9600\r\n", {}, true, true, ",", 9600, "11,9600\r\n"},
    {"ThreeCharacters", "01.\r\n", {}, false, true, ".", 19200, "01.19200\r\n"},
    {"LettersInTheBaud", "10,96x0\r\n", {}, true, false, ",", 19200, "10,19200\r\n"},
    {"AnyOtherDigitIsOn", "70.4800", {}, true, false, ".", 4800, "10.4800\r\n"},
    {"OnlyTheFirstLine", "00.1200\r\n11,300\r\n", {}, false, false, ".", 1200, "00.1200\r\n"},
    {"FlagNotADigit",
     "1x.9600\r\n",
     {"'x' is not a valid boolean value"},
     true,
     false,
     ".",
     19200,
     "10.19200\r\n"},
    {"ShortLine", "1\r\n", {}, true, false, ".", 19200, "10.19200\r\n"},
    {"EmptyFile", "", {}, false, false, ".", 19200, "00.19200\r\n"},
};

class TSettingsFileTest : public TWindowTest, public testing::WithParamInterface<TSettingsCase> {};

}  // namespace

TEST_P(TSettingsFileTest, LoadedAtCreationAndWrittenAtClose) {
    const TSettingsCase& c = GetParam();
    if (c.file) {
        WriteFileBytes(dir_->File("settings.ini"), *c.file);
    }
    CreateWindow();
    EXPECT_EQ(errors_, c.errors);
    EXPECT_EQ(ExportDeviceDetails, c.deviceDetails);
    EXPECT_EQ(ExportTableHeader, c.tableHeader);
    EXPECT_EQ(ExportDecimalSeparator, c.separator);
    EXPECT_EQ(frm_->ComPort1().Baud, c.baud);
    // The creation went on after a fault.
    EXPECT_EQ(frm_->DeviceLabelText(), "No connected device");
    ShowAndActivate();
    frm_->close();
    EXPECT_FALSE(frm_->isVisible());
    EXPECT_EQ(ReadFileBytes(dir_->File("settings.ini")), c.writtenAtClose);
}

INSTANTIATE_TEST_SUITE_P(Cases, TSettingsFileTest, testing::ValuesIn(SettingsCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

using TSettingsTest = TWindowTest;

// meridax --settings FILE (and --user-settings, which names the XDG one): read and written
// there, the working directory left as it was.
TEST_F(TSettingsTest, ANamedSettingsFileIsReadAndWrittenThere) {
    TTempFolder config("meridax-config");
    const std::string file = config.File("settings.ini");
    WriteFileBytes(file, "11,9600\r\n");
    TfrmMainOptions options;
    options.SettingsFile = file;
    CreateWindow(std::move(options));
    EXPECT_EQ(errors_, std::vector<std::string>{});
    EXPECT_TRUE(ExportDeviceDetails);
    EXPECT_TRUE(ExportTableHeader);
    EXPECT_EQ(frm_->ComPort1().Baud, 9600u);
    ShowAndActivate();
    ExportTableHeader = false;
    frm_->ComPort1().Baud = 4800;
    frm_->close();
    EXPECT_EQ(ReadFileBytes(file), "10,4800\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir_->File("settings.ini")));
}

// The desktop's start (--user-settings) makes a missing file with the defaults and says so in
// the status line; a start from a terminal shows the box.
TEST_F(TSettingsTest, OnlyTheDesktopsStartMakesAMissingSettingsFileWithoutABox) {
    TTempFolder config("meridax-config");
    const std::string file = config.File("settings.ini");
    for (const bool desktop : {true, false}) {
        std::filesystem::remove(file);
        errors_.clear();
        TfrmMainOptions options;
        options.SettingsFile = file;
        options.MakeMissingSettings = desktop;
        CreateWindow(std::move(options));
        if (desktop) {
            EXPECT_EQ(errors_, std::vector<std::string>{});
            EXPECT_EQ(ReadFileBytes(file), "00.19200\r\n");
            EXPECT_EQ(frm_->StatusText().toStdString(),
                      "No settings file yet: made " + file + " with the defaults");
        } else {
            EXPECT_EQ(errors_, std::vector<std::string>{"File not found"});
            EXPECT_FALSE(std::filesystem::exists(file));
            EXPECT_EQ(frm_->StatusText(), QString());
        }
        DestroyWindow();
    }
}

TEST_F(TSettingsTest, UnwritableSettingsAreReportedAndTheWindowClosesAllTheSame) {
    // A folder in place of the file cannot be replaced by a file.
    ASSERT_EQ(::mkdir(dir_->File("settings.ini").c_str(), 0755), 0);
    CreateWindow();
    ShowAndActivate();
    errors_.clear();
    frm_->close();
    EXPECT_FALSE(frm_->isVisible());
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_FALSE(errors_[0].empty());
}

TEST_F(TSettingsTest, SerialPortDialogLooksAsDesigned) {
    CreateWindow();
    EXPECT_EQ(serialSettings_->windowTitle(), QStringLiteral("Serial port settings"));
    EXPECT_EQ(serialSettings_->size(), QSize(172, 84));
    EXPECT_EQ(serialSettings_->minimumSize(), serialSettings_->maximumSize());
    EXPECT_EQ(serialSettings_->lblBaud->text(), QStringLiteral("Baud:"));
    EXPECT_EQ(serialSettings_->lblBaud->pos(), QPoint(16, 16));
    EXPECT_EQ(serialSettings_->txtBaud->pos(), QPoint(50, 13));
    EXPECT_EQ(serialSettings_->txtBaud->width(), 103);
    EXPECT_EQ(serialSettings_->btnOk->text(), QStringLiteral("Ok"));
    EXPECT_EQ(serialSettings_->btnOk->geometry(), QRect(88, 51, 65, 25));
    EXPECT_TRUE(serialSettings_->btnOk->isDefault());
    EXPECT_EQ(serialSettings_->parentWidget(), frm_.get());
    ExpectTextsFit(serialSettings_.get());
}

TEST_F(TSettingsTest, ExportDialogLooksAsDesigned) {
    CreateWindow();
    TfrmExportSettings& d = *exportSettings_;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Export settings"));
    EXPECT_EQ(d.size(), QSize(192, 142));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    EXPECT_EQ(d.chkExportDeviceDetails->text(), QStringLiteral("Export device details"));
    EXPECT_EQ(d.chkExportDeviceDetails->pos(), QPoint(16, 16));
    EXPECT_EQ(d.chkExportTableHeader->text(), QStringLiteral("Export table header"));
    EXPECT_EQ(d.chkExportTableHeader->pos(), QPoint(16, 39));
    EXPECT_EQ(d.lblDecimalSeparator->text(), QStringLiteral("Decimal separator:"));
    EXPECT_EQ(d.lblDecimalSeparator->pos(), QPoint(16, 72));
    EXPECT_EQ(d.rbCiarka->text(), QStringLiteral(","));
    EXPECT_EQ(d.rbCiarka->pos(), QPoint(112, 71));
    EXPECT_EQ(d.rbBodka->text(), QStringLiteral("."));
    EXPECT_EQ(d.rbBodka->pos(), QPoint(151, 71));
    EXPECT_EQ(d.btnOk->geometry(), QRect(111, 102, 65, 25));
    EXPECT_TRUE(d.btnOk->isDefault());
    // One group: choosing one radio button clears the other.
    d.rbCiarka->setChecked(true);
    d.rbBodka->setChecked(true);
    EXPECT_FALSE(d.rbCiarka->isChecked());
    ExpectTextsFit(&d);
}

namespace {

struct TBaudCase {
    const char* name;
    const char* typed;
    bool ok;  // closed with Ok, else by the close box
    std::uint32_t baud;
    std::vector<std::string> errors;
};

const TBaudCase BaudCases[] = {
    {"OkTakesTheRate", "9600", true, 9600, {}},
    {"ZeroIsAccepted", "0", true, 0, {}},
    {"LargestRate", "4294967295", true, 4294967295u, {}},
    {"CloseBoxKeepsTheRate", "9600", false, 19200, {}},
    {"NotAnInteger", "fast", true, 19200, {"'fast' is not a valid integer value"}},
    {"NegativeIsRefused", "-9600", true, 19200, {"'-9600' is not a valid integer value"}},
    {"BeyondTheRange", "4294967296", true, 19200, {"'4294967296' is not a valid integer value"}},
};

class TBaudDialogTest : public TWindowTest, public testing::WithParamInterface<TBaudCase> {};

}  // namespace

TEST_P(TBaudDialogTest, OnlyOkAppliesAnIntegerRate) {
    const TBaudCase& c = GetParam();
    CreateWindow();
    ShowAndActivate();
    errors_.clear();
    QString shownRate;
    TModalWatch watch([&](QWidget*) {
        shownRate = serialSettings_->txtBaud->text();
        serialSettings_->txtBaud->setText(QLatin1String(c.typed));
        if (c.ok) {
            QTest::mouseClick(serialSettings_->btnOk, Qt::LeftButton);
        } else {
            serialSettings_->close();
        }
    });
    frm_->Serialportsettings1->trigger();
    EXPECT_TRUE(watch.Seen());
    EXPECT_EQ(shownRate, QStringLiteral("19200"));
    EXPECT_EQ(frm_->ComPort1().Baud, c.baud);
    EXPECT_EQ(errors_, c.errors);
    frm_->close();
    EXPECT_EQ(ReadFileBytes(dir_->File("settings.ini")), "00." + std::to_string(c.baud) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, TBaudDialogTest, testing::ValuesIn(BaudCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

namespace {

struct TExportOptionsCase {
    const char* name;
    bool details;
    bool header;
    const char* separator;
    bool commaShown;  // which radio button the dialog shows selected
    // What the user does in the dialog:
    bool setDetails;
    bool setHeader;
    bool chooseComma;
    bool ok;
    // The options afterwards:
    bool detailsAfter;
    bool headerAfter;
    const char* separatorAfter;
};

const TExportOptionsCase ExportOptionsCases[] = {
    {"OkTakesEverything", false, false, ".", false, true, true, true, true, true, true, ","},
    {"CommaShownSelected", true, false, ",", true, true, false, true, true, true, false, ","},
    {"OtherSeparatorShowsPointAndOkStoresPoint", false, true, ";", false, false, true, false, true,
     false, true, "."},
    {"CloseBoxKeepsEverything", false, false, ".", false, true, true, true, false, false, false,
     "."},
    {"CloseBoxKeepsAnOddSeparator", true, true, ";", false, false, false, true, false, true, true,
     ";"},
};

class TExportOptionsDialogTest : public TWindowTest,
                                 public testing::WithParamInterface<TExportOptionsCase> {};

}  // namespace

TEST_P(TExportOptionsDialogTest, OnlyOkApplies) {
    const TExportOptionsCase& c = GetParam();
    CreateWindow();
    ShowAndActivate();
    ExportDeviceDetails = c.details;
    ExportTableHeader = c.header;
    ExportDecimalSeparator = c.separator;
    TfrmExportSettings& d = *exportSettings_;
    bool shownDetails = false;
    bool shownHeader = false;
    bool shownComma = false;
    bool shownPoint = false;
    TModalWatch watch([&](QWidget*) {
        shownDetails = d.chkExportDeviceDetails->isChecked();
        shownHeader = d.chkExportTableHeader->isChecked();
        shownComma = d.rbCiarka->isChecked();
        shownPoint = d.rbBodka->isChecked();
        d.chkExportDeviceDetails->setChecked(c.setDetails);
        d.chkExportTableHeader->setChecked(c.setHeader);
        (c.chooseComma ? d.rbCiarka : d.rbBodka)->setChecked(true);
        if (c.ok) {
            QTest::mouseClick(d.btnOk, Qt::LeftButton);
        } else {
            d.close();
        }
    });
    frm_->Exportsettings1->trigger();
    ASSERT_TRUE(watch.Seen());
    EXPECT_EQ(shownDetails, c.details);
    EXPECT_EQ(shownHeader, c.header);
    EXPECT_EQ(shownComma, c.commaShown);
    EXPECT_EQ(shownPoint, !c.commaShown);
    EXPECT_EQ(ExportDeviceDetails, c.detailsAfter);
    EXPECT_EQ(ExportTableHeader, c.headerAfter);
    EXPECT_EQ(ExportDecimalSeparator, c.separatorAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, TExportOptionsDialogTest, testing::ValuesIn(ExportOptionsCases),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });
