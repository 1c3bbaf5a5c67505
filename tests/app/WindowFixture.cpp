#include "app/WindowFixture.h"

#include <utility>

#include <QAbstractItemModel>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/common/MeridaxApplication.h"
#include "session/ApplicationSettings.h"
#include "support/Subprocess.h"

std::optional<QString> TFakeFileDialogs::AskSaveFileName(QWidget*, const QString& title,
                                                         const QString& filter,
                                                         const QString& defaultSuffix) {
    Asked.push_back({true, title, filter, defaultSuffix});
    return Next();
}

std::optional<QString> TFakeFileDialogs::AskOpenFileName(QWidget*, const QString& filter) {
    Asked.push_back({false, QString(), filter, QString()});
    return Next();
}

std::optional<QString> TFakeFileDialogs::Next() {
    if (Answers.empty()) {
        return std::nullopt;
    }
    // A cancelled dialog is an answer without a value.
    const bool chosen = Answers.front().has_value();
    const QString name = chosen ? *Answers.front() : QString();
    Answers.pop_front();
    if (!chosen) {
        return std::nullopt;
    }
    return name;
}

bool TFakeQuestions::AskReplaceWithNothing(QWidget*, const QString& text) {
    Asked.push_back(text);
    if (ReplaceAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = ReplaceAnswers.front();
    ReplaceAnswers.pop_front();
    return answer;
}

bool TFakeQuestions::AskEndImport(QWidget*, const QString& text) {
    Asked.push_back(text);
    if (EndImportAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = EndImportAnswers.front();
    EndImportAnswers.pop_front();
    return answer;
}

IQuestions::TUnsavedAnswer TFakeQuestions::AskUnsavedImport(QWidget*, const QString& text) {
    Asked.push_back(text);
    if (UnsavedAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return TUnsavedAnswer::Cancel;
    }
    const TUnsavedAnswer answer = UnsavedAnswers.front();
    UnsavedAnswers.pop_front();
    return answer;
}

TMeranie Absolute(std::string cable, std::string fiber, double waveLength, double value) {
    return {std::move(cable), std::move(fiber), waveLength, value, 0, false};
}

TMeranie Relative(std::string cable, std::string fiber, double waveLength, double value,
                  double reference) {
    return {std::move(cable), std::move(fiber), waveLength, value, reference, true};
}

QColor VerdictBackgroundColour(TVerdictKind kind) {
    switch (kind) {
        case TVerdictKind::Pass:
            return {0xd9, 0xf2, 0xd9};
        case TVerdictKind::Fail:
            return {0xf8, 0xd4, 0xd4};
        case TVerdictKind::Check:
            return {0xfc, 0xe6, 0xb0};
        case TVerdictKind::None:
            break;
    }
    return {};
}

std::string PdfText(const std::string& path) {
    const TRunResult run = RunToEnd({MERIDAX_PDFTOTEXT, "-layout", path, "-"}, {}, PatientWait);
    EXPECT_TRUE(run.ExitCode == 0 && run.TermSignal == 0) << path << ": " << run.Err;
    if (run.ExitCode == -1) {
        return {};  // not finished in time
    }
    return QString::fromUtf8(QByteArray::fromStdString(run.Out))
        .replace(QRegularExpression(QStringLiteral("[ \t]+")), QStringLiteral(" "))
        .toStdString();
}

void ExpectTextsFit(const QWidget* root) {
    for (const QWidget* widget : root->findChildren<const QWidget*>()) {
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
            button != nullptr && qobject_cast<const QCheckBox*>(widget) == nullptr &&
            qobject_cast<const QRadioButton*>(widget) == nullptr && !widget->isHidden() &&
            !button->text().isEmpty()) {
            const auto* tool = qobject_cast<const QToolButton*>(widget);
            const bool iconBeside =
                !button->icon().isNull() &&
                (tool == nullptr || tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon);
            // A lower bound: the text and a picture beside it, without any frame or margin.
            const int needed = button->fontMetrics().horizontalAdvance(button->text()) +
                               (iconBeside ? button->iconSize().width() + 4 : 0);
            EXPECT_LE(needed, button->width()) << button->objectName().toStdString();
        }
        const bool showsText = (qobject_cast<const QLabel*>(widget) != nullptr &&
                                !static_cast<const QLabel*>(widget)->text().isEmpty()) ||
                               qobject_cast<const QCheckBox*>(widget) != nullptr ||
                               qobject_cast<const QRadioButton*>(widget) != nullptr;
        if (!showsText || widget->isHidden()) {
            continue;
        }
        const QString name = widget->objectName().isEmpty()
                                 ? QString::fromLatin1(widget->metaObject()->className())
                                 : widget->objectName();
        const QSize hint = widget->sizeHint();
        EXPECT_GE(widget->width(), hint.width()) << name.toStdString();
        EXPECT_GE(widget->height(), hint.height()) << name.toStdString();
        const QWidget* parent = widget->parentWidget();
        const auto* frame = qobject_cast<const QFrame*>(parent);
        const QRect room = frame != nullptr ? frame->contentsRect() : parent->rect();
        EXPECT_TRUE(room.contains(widget->geometry()))
            << name.toStdString() << " at " << widget->geometry().x() << ","
            << widget->geometry().y() << " " << widget->width() << "x" << widget->height()
            << " outside " << room.width() << "x" << room.height();
    }
}

TModalWatch::TModalWatch(std::function<void(QWidget* dialog)> act)
    : act_(std::move(act)), timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        timer_->stop();
        seen_ = true;
        act_(dialog);
    });
    timer_->start();
}

TModalWatch::~TModalWatch() = default;

void TWindowTest::SetUp() {
    dir_ = std::make_unique<TTempWorkingDir>("meridax-app");
    // The user's configuration (the kept loss budget) lives in the test's folder, never in
    // the real user's.
    const QString config = QString::fromStdString(dir_->File("config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    Merania.clear();
    ExportDeviceDetails = false;
    ExportTableHeader = false;
    ExportDecimalSeparator = ".";
    fileDialogs_ = std::make_shared<TFakeFileDialogs>();
    questions_ = std::make_shared<TFakeQuestions>();
    auto* application = qobject_cast<TMeridaxApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    application->SetErrorReporter(
        [this](const std::string& message) { errors_.push_back(message); });
}

void TWindowTest::TearDown() {
    DestroyWindow();
    if (auto* application = qobject_cast<TMeridaxApplication*>(QCoreApplication::instance())) {
        application->SetErrorReporter({});
    }
    Merania.clear();
    dir_.reset();
}

void TWindowTest::DestroyWindow() {
    exportSettings_.reset();
    serialSettings_.reset();
    about_.reset();
    frm_.reset();
}

void TWindowTest::CreateWindow(TfrmMainOptions options) {
    if (!options.EnumeratePorts) {
        options.EnumeratePorts = [this](std::vector<std::string>* list) {
            list->insert(list->end(), ports_.begin(), ports_.end());
        };
    }
    if (!options.BlockFor) {
        options.BlockFor = [this](int milliseconds) { waits_.push_back(milliseconds); };
    }
    if (!options.PutOnClipboard && !useSystemClipboard_) {
        options.PutOnClipboard = [this](const QString& text) {
            if (!clipboardWorks_) {
                return false;
            }
            clipboard_.push_back(text);
            return true;
        };
    }
    if (!options.FileDialogs) {
        options.FileDialogs = fileDialogs_;
    }
    if (!options.Questions) {
        options.Questions = questions_;
    }
    frm_ = std::make_unique<TfrmMain>(std::move(options));
    // Every refill, tick, check-all and clear of a window test is also checked against the
    // item-model contract; a breach ends the run.
    for (QTableView* view : frm_->ListViews) {
        new QAbstractItemModelTester(
            view->model(), QAbstractItemModelTester::FailureReportingMode::Fatal, view->model());
    }
    about_ = std::make_unique<TfrmAbout>(frm_.get());
    serialSettings_ = std::make_unique<TfrmSerialPortSettings>(frm_.get());
    exportSettings_ = std::make_unique<TfrmExportSettings>(frm_.get());
    frm_->SetDialogs(about_.get(), serialSettings_.get(), exportSettings_.get());
}

void TWindowTest::ShowAndActivate() {
    frm_->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !frm_->FirstActivation(); }, PatientWaitMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return frm_->frameGeometry().height() == TfrmMain::WorkingOuterHeight; },
        PatientWaitMs));
}

void TWindowTest::LoadRecords(const TMeraniaArray& records) {
    Merania = records;
    frm_->LoadDataToAllListView();
}

void TWindowTest::ShowPage(TTablePage page) {
    frm_->pgMerania->setCurrentIndex(static_cast<int>(page));
}

void TWindowTest::Tick(TTablePage page, int row, bool checked) {
    QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
    ASSERT_TRUE(model->setData(model->index(row, 0), checked ? Qt::Checked : Qt::Unchecked,
                               Qt::CheckStateRole));
}

bool TWindowTest::IsTicked(TTablePage page, int row) {
    QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
    return model->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
}

QString TWindowTest::Cell(TTablePage page, int row, int column) {
    QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
    return model->index(row, column).data(Qt::DisplayRole).toString();
}

QString TWindowTest::HeaderCaption(TTablePage page, int column) {
    QAbstractItemModel* model = frm_->ListViews[static_cast<std::size_t>(page)]->model();
    return model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

int TWindowTest::Rows(TTablePage page) {
    return frm_->ListViews[static_cast<std::size_t>(page)]->model()->rowCount();
}
