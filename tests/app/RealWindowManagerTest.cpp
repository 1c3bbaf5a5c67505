// The real program under a real window manager: Xvfb with openbox, started five times. Each
// start must reach the working height whatever order the manager maps, activates and
// configures the window in; the manager closes it. Started as the desktop entry starts it, its
// settings live in the user's config folder. Skipped where no X server can start.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <memory>

#include "app/main/frmMain.h"
#include "support/FileBytes.h"
#include "support/Patience.h"
#include "support/TempFolder.h"

namespace {

const QString WindowTitle = QStringLiteral("^MERIDAX data exporter 1.1$");

// A child process ended (killed if need be) when the object goes.
class TChild {
public:
    TChild(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment, const QString& folder = QString()) {
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(folder);
        process_.start(program, arguments);
    }
    ~TChild() noexcept {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(PatientWaitMs);
        }
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    QProcess& Process() { return process_; }

private:
    QProcess process_;
};

class TRealWindowManagerTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
            }
        }
        // Servers started at the same moment by other tests may race for a display number;
        // a server that cannot be reached is started again.
        std::string reason;
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (StartServerAndManager(reason)) {
                return;
            }
        }
        GTEST_SKIP() << "no X server with a window manager could start: " << reason;
    }

    bool StartServerAndManager(std::string& reason) {
        openbox_.reset();
        // Xvfb picks a free display and writes its number on the descriptor given.
        xvfb_ = std::make_unique<TChild>(
            QStringLiteral("Xvfb"),
            QStringList{QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")},
            QProcessEnvironment::systemEnvironment());
        QProcess& xvfb = xvfb_->Process();
        // What follows reads why when no display number came.
        (void)QTest::qWaitFor(
            [&] { return xvfb.canReadLine() || xvfb.state() == QProcess::NotRunning; },
            PatientWaitMs);
        if (!xvfb.canReadLine()) {
            reason = xvfb.readAllStandardError().toStdString();
            return false;
        }
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("DISPLAY"),
                            QLatin1Char(':') + QString::fromLatin1(xvfb.readLine()).trimmed());
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        openbox_ = std::make_unique<TChild>(
            QStringLiteral("openbox"), QStringList{QStringLiteral("--sm-disable")}, environment_);
        QProcess& openbox = openbox_->Process();
        const bool managed = QTest::qWaitFor(
            [&] {
                return openbox.state() == QProcess::NotRunning ||
                       Run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                           .contains(QStringLiteral("window id"));
            },
            PatientWaitMs);
        if (!managed || openbox.state() == QProcess::NotRunning) {
            reason = "openbox on " + environment_.value(QStringLiteral("DISPLAY")).toStdString() +
                     ": " + openbox.readAllStandardError().toStdString();
            return false;
        }
        return true;
    }

    QString Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment_);
        process.start(program, arguments);
        process.waitForFinished(PatientWaitMs);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    // The program's visible windows, newest last.
    QStringList VisibleWindows() {
        return Run(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--name"), WindowTitle})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Outer width and height: the client size and the frame the manager drew around it.
    QSize OuterSize(const QString& window) {
        const QString shell = Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                              QStringLiteral("--shell"), window});
        const QString extents =
            Run(QStringLiteral("xprop"),
                {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
        const auto width = QRegularExpression(QStringLiteral("WIDTH=(\\d+)")).match(shell);
        const auto height = QRegularExpression(QStringLiteral("HEIGHT=(\\d+)")).match(shell);
        const auto frame =
            QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
        if (!width.hasMatch() || !height.hasMatch() || !frame.hasMatch()) {
            return {};
        }
        const auto part = [&](int i) { return frame.captured(i).toInt(); };
        return {width.captured(1).toInt() + part(1) + part(2),
                height.captured(1).toInt() + part(3) + part(4)};
    }

    void Press(const QString& window, const QString& keys) {
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window,
             QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
    }

    // No settings.ini yet: the missing file's box comes first; Return closes it.
    void DismissMissingSettingsBox() {
        const QString box = VisibleWindows().constLast();
        Press(box, QStringLiteral("Return"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QStringList shown = VisibleWindows();
                return !shown.isEmpty() && !shown.contains(box);
            },
            PatientWaitMs));
    }

    std::unique_ptr<TChild> xvfb_;
    std::unique_ptr<TChild> openbox_;
    QProcessEnvironment environment_;
};

}  // namespace

TEST_F(TRealWindowManagerTest, EveryStartReachesTheWorkingHeightAndTheManagerClosesIt) {
    TTempFolder folder("meridax-wm");
    const QSize working(TfrmMain::OuterWidth, TfrmMain::WorkingOuterHeight);
    // The program keeps its loss budget in the user's configuration: not the real user's.
    QProcessEnvironment appEnvironment = environment_;
    appEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                          QString::fromStdString(folder.File("config")));
    for (int start = 1; start <= 5; ++start) {
        SCOPED_TRACE(start);
        TChild app(QStringLiteral(MERIDAX_APP), {}, appEnvironment,
                   QString::fromStdString(folder.Path()));
        QString window;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !VisibleWindows().isEmpty(); }, PatientWaitMs));
        if (start == 1) {
            ASSERT_NO_FATAL_FAILURE(DismissMissingSettingsBox());
        }
        window = VisibleWindows().constLast();
        QSize seen;
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return (seen = OuterSize(window)) == working; }, PatientWaitMs))
            << seen.width() << "x" << seen.height();
        // Through the manager's own close key, as the user closes it.
        Press(window, QStringLiteral("alt+F4"));
        ASSERT_TRUE(app.Process().waitForFinished(PatientWaitMs));
        EXPECT_EQ(app.Process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.Process().exitCode(), 0);
        // The close ran to its end: the settings were saved.
        EXPECT_EQ(ReadFileBytes(folder.File("settings.ini")), "00.19200\r\n");
    }
}

// As the desktop entry starts it: the settings in the XDG config folder (made with the defaults
// at the first start, without the missing file's box), nothing in the working directory.
TEST_F(TRealWindowManagerTest, UserSettingsLiveInTheConfigFolder) {
    TTempFolder folder("meridax-wm");
    ASSERT_EQ(::mkdir(folder.File("work").c_str(), 0755), 0);
    QProcessEnvironment environment = environment_;
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(folder.File("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       QString::fromStdString(folder.File("config")));
    const std::string settings = folder.File("config/meridax/settings.ini");
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first);
        TChild app(QStringLiteral(MERIDAX_APP), {QStringLiteral("--user-settings")}, environment,
                   QString::fromStdString(folder.File("work")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !VisibleWindows().isEmpty(); }, PatientWaitMs));
        // No box at the first start: the file is made with the defaults at once.
        EXPECT_EQ(VisibleWindows().size(), 1);
        EXPECT_EQ(ReadFileBytes(settings), first ? "00.19200\r\n" : "11,9600\r\n");
        // Closed only once the manager has framed it, as a user would.
        const QString window = VisibleWindows().constLast();
        const QSize working(TfrmMain::OuterWidth, TfrmMain::WorkingOuterHeight);
        EXPECT_TRUE(QTest::qWaitFor([&] { return OuterSize(window) == working; }, PatientWaitMs));
        Press(window, QStringLiteral("alt+F4"));
        ASSERT_TRUE(app.Process().waitForFinished(PatientWaitMs));
        EXPECT_EQ(app.Process().exitCode(), 0);
        // Read at the second start: what the first wrote, then a line of the user's own.
        EXPECT_EQ(ReadFileBytes(settings), first ? "00.19200\r\n" : "11,9600\r\n");
        WriteFileBytes(settings, "11,9600\r\n");
    }
    struct stat status {};
    ASSERT_EQ(::stat(folder.File("config").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("work")));
}

// The window system adds no application name to a dialog's own title.
TEST_F(TRealWindowManagerTest, ADialogIsTitledByItsOwnTitleOnly) {
    TTempFolder folder("meridax-wm");
    WriteFileBytes(folder.File("settings.ini"), "00.19200\r\n");
    QProcessEnvironment appEnvironment = environment_;
    appEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                          QString::fromStdString(folder.File("config")));
    TChild app(QStringLiteral(MERIDAX_APP), {}, appEnvironment,
               QString::fromStdString(folder.Path()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !VisibleWindows().isEmpty(); }, PatientWaitMs));
    const QString window = VisibleWindows().constLast();
    // Options > Serial port settings, the menu's first entry, once the menu is shown.
    const auto shownOfProgram = [&] {
        return Run(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--class"), QStringLiteral("meridax")})
            .count(QLatin1Char('\n'));
    };
    const qsizetype before = shownOfProgram();
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window,
         QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("20"),
         QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownOfProgram() > before; }, PatientWaitMs));
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
    QStringList dialogs;
    const auto findDialog = [&] {
        dialogs = Run(QStringLiteral("xdotool"),
                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                       QStringLiteral("--name"), QStringLiteral("^Serial port settings")})
                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return !dialogs.isEmpty();
    };
    ASSERT_TRUE(QTest::qWaitFor(findDialog, PatientWaitMs));
    EXPECT_EQ(Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), dialogs.constLast()})
                  .trimmed()
                  .toStdString(),
              "Serial port settings");
    Press(dialogs.constLast(), QStringLiteral("Return"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !findDialog(); }, PatientWaitMs));
    Press(window, QStringLiteral("alt+F4"));
    ASSERT_TRUE(app.Process().waitForFinished(PatientWaitMs));
}
