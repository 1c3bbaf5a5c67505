// The status line, the ticks of the session, the device label's fitting and the questions
// before an import is lost.
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "app/common/DesignFonts.h"
#include "app/common/Latin1.h"
#include "app/common/MeridaxApplication.h"
#include "app/common/PlainText.h"
#include "app/main/MeasurementModel.h"
#include "app/main/Questions.h"
#include "app/main/frmMain.h"
#include "data/CountText.h"

namespace {

constexpr int TickMilliseconds = 100;
// Kept free between the device label and the Import button.
constexpr int DeviceLabelGap = 4;

QString Grouped(std::size_t number) {
    return FromBytes(GroupedCount(number));
}

// The rows of one kind with their verdicts when judged: "1,200 relative (1,180 pass, 20 fail)".
QString KindCounts(std::size_t rows, const char* kind, const TVerdictCounts* counts) {
    QString text = Grouped(rows) + QLatin1Char(' ') + QLatin1String(kind);
    if (counts == nullptr || rows == 0) {
        return text;
    }
    const std::pair<std::size_t, const char*> parts[] = {{counts->Pass, "pass"},
                                                         {counts->Fail, "fail"},
                                                         {counts->Check, "check"},
                                                         {rows - counts->Judged(), "unjudged"}};
    QStringList shown;
    for (const auto& [count, name] : parts) {
        if (count > 0) {
            shown << Grouped(count) + QLatin1Char(' ') + QLatin1String(name);
        }
    }
    return text + QStringLiteral(" (") + shown.join(QStringLiteral(", ")) + QLatin1Char(')');
}

// The status line shows at most two lines: a text too long for one is broken at the last
// blank that lets the first line fit, and what the second cannot hold is cut in its middle,
// so that both the start and the end (a hint's fix, a file's name) stay in sight.
QStringList StatusLines(const QString& text, const QFontMetrics& metrics, int room) {
    if (room <= 0 || metrics.horizontalAdvance(text) <= room) {
        return {text};
    }
    qsizetype cut = text.lastIndexOf(QLatin1Char(' '));
    while (cut > 0 && metrics.horizontalAdvance(text.left(cut)) > room) {
        cut = text.lastIndexOf(QLatin1Char(' '), cut - 1);
    }
    if (cut <= 0) {
        return {metrics.elidedText(text, Qt::ElideMiddle, room)};
    }
    return {text.left(cut), metrics.elidedText(text.mid(cut + 1), Qt::ElideMiddle, room)};
}

}  // namespace

void TfrmMain::BuildStatusLine() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusLine"));
    bar->setFont(DesignFont());
    bar->setFixedHeight(StatusLineHeight);
    bar->setSizeGripEnabled(false);
    // The Cancel button keeps off the window's right edge as the groups do.
    bar->setContentsMargins(0, 0, 6, 0);
    lblStatus = new QLabel(bar);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFont(DesignFont());
    // What the session reports may hold a port's or a device's name: never markup.
    lblStatus->setTextFormat(Qt::PlainText);
    // Its text starts where the groups' captions do.
    lblStatus->setContentsMargins(6, 0, 0, 0);
    // A long text is cut, not allowed to widen the fixed-width window; the whole of it is
    // the tooltip.
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblStatus->installEventFilter(this);
    bar->addWidget(lblStatus, 1);
    btnCancelImport = new QPushButton(QStringLiteral("Cancel"), bar);
    btnCancelImport->setObjectName(QStringLiteral("btnCancelImport"));
    btnCancelImport->setFont(DesignFont());
    btnCancelImport->setFixedHeight(StatusLineHeight - 4);
    btnCancelImport->setToolTip(QStringLiteral("Cancel the import (Esc)"));
    bar->addPermanentWidget(btnCancelImport);
    btnCancelImport->hide();

    tickTimer_ = new QTimer(this);
    tickTimer_->setInterval(TickMilliseconds);
    connect(tickTimer_, &QTimer::timeout, this, [this] {
        RunCommand([this] { session_->Tick(std::chrono::steady_clock::now()); });
        FollowPortState();
    });
}

void TfrmMain::ShowStatus(const std::string& text) {
    ShowStatusText(FromBytes(text));
}

void TfrmMain::ShowStatusText(const QString& text) {
    // The archive's texts (UTF-8) come here as they are; the session's 8-bit texts through
    // ShowStatus, as Latin-1.
    statusText_ = text;
    lblStatus->setToolTip(PlainToolTip(statusText_, true));
    ElideStatus();
}

void TfrmMain::ElideStatus() {
    // Until the window is laid out the label has no width of its own; its first resize
    // breaks the text.
    if (!lblStatus->isVisible()) {
        lblStatus->setText(statusText_);
        return;
    }
    const QFontMetrics metrics = lblStatus->fontMetrics();
    const QStringList lines = StatusLines(statusText_, metrics, lblStatus->contentsRect().width());
    lblStatus->setText(lines.join(QLatin1Char('\n')));
    // A second line takes its height from the client area; the window keeps its size.
    statusBar()->setFixedHeight(StatusLineHeight + (lines.size() > 1 ? metrics.lineSpacing() : 0));
}

void TfrmMain::ShowImportProgress(std::size_t bytes, std::size_t lines) {
    ShowStatus(ToBytes(QStringLiteral("Importing: ") + FromBytes(Counted(bytes, "byte", "bytes")) +
                       QStringLiteral(", ") + FromBytes(Counted(lines, "line", "lines"))));
}

void TfrmMain::ShowCounts() {
    ShowStatus(CountsText());
}

std::string TfrmMain::CountsText() const {
    const auto rows = [this](TTablePage page) {
        return static_cast<std::size_t>(models_.at(static_cast<std::size_t>(page))->rowCount());
    };
    TVerdictCounts absolute;
    TVerdictCounts relative;
    const bool judged = verdicts_ && verdicts_->size() == Merania.size();
    if (judged) {
        for (std::size_t index = 0; index < Merania.size(); ++index) {
            TVerdictCounts& counts = Merania[index].IsRelative ? relative : absolute;
            counts.Add((*verdicts_)[index].Kind);
        }
    }
    // The verdicts only when the budget judges any row: "(3 unjudged)" alone says nothing.
    const bool shown = absolute.Judged() + relative.Judged() > 0;
    QString text = FromBytes(Counted(rows(TTablePage::All), "measurement", "measurements")) +
                   QStringLiteral(": ") +
                   KindCounts(rows(TTablePage::Absolute), "absolute", shown ? &absolute : nullptr) +
                   QStringLiteral(", ") +
                   KindCounts(rows(TTablePage::Relative), "relative", shown ? &relative : nullptr);
    if (judged && !shown && !Merania.empty()) {
        text += QStringLiteral("; the loss budget judges none of them");
    }
    if (judged && relative.Judged() > 0) {
        // Each fibre's result across its wavelengths, from its loss readings.
        text += QStringLiteral("; ") + KindCounts(fibreCounts_.Judged(),
                                                  fibreCounts_.Judged() == 1 ? "fibre" : "fibres",
                                                  &fibreCounts_);
    }
    if (!leftOut_.empty()) {
        text += QStringLiteral("; ") + FromBytes(leftOut_);
    }
    return ToBytes(text);
}

bool TfrmMain::Ticking() const {
    return tickTimer_->isActive();
}

void TfrmMain::FollowPortState() {
    // The session judges its time limits on the ticks; they run while a port is open.
    if (comPort1_->Opened() && !tickTimer_->isActive()) {
        tickTimer_->start();
    } else if (!comPort1_->Opened() && tickTimer_->isActive()) {
        tickTimer_->stop();
    }
}

void TfrmMain::FitDeviceLabel() {
    QLabel* label = lblConectedDeviceName;
    const QString text = FromBytes(deviceLabelText_);
    label->setText(text);
    label->setToolTip(QString());
    label->adjustSize();
    // The room left of the Import button, from the group's inner margin (where the tables
    // begin) on.
    const int right = btnImport->x() - DeviceLabelGap;
    const int margin = pgMerania->x();
    int left = deviceLabelLeft_;
    if (left + label->width() > right) {
        left = std::max(margin, right - label->width());
    }
    if (left + label->width() > right) {
        // Cut in the middle: a name's model and its serial number both stay in sight.
        const int textRoom =
            right - left - (label->width() - label->fontMetrics().horizontalAdvance(text));
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, textRoom));
        label->setToolTip(PlainToolTip(text, false));
        label->adjustSize();
    }
    label->move(left, label->y());
}

bool TfrmMain::MayDropImport(const QString& before) {
    if (!unsavedImport_) {
        return true;
    }
    const auto rows = static_cast<std::size_t>(Model(TTablePage::All).rowCount());
    const QString text = QStringLiteral("The ") +
                         FromBytes(Counted(rows, "measurement", "measurements")) +
                         QLatin1String(rows == 1 ? " imported from the meter has"
                                                 : " imported from the meter have") +
                         QStringLiteral(" been neither saved nor exported.\nSave before ") +
                         before + QStringLiteral("?");
    switch (options_.Questions->AskUnsavedImport(this, text)) {
        case IQuestions::TUnsavedAnswer::Save:
            btnSaveToFileClick();
            // A cancelled Save dialog keeps the set and what was about to happen waits.
            return !unsavedImport_;
        case IQuestions::TUnsavedAnswer::Discard:
            return true;
        case IQuestions::TUnsavedAnswer::Cancel:
            break;
    }
    return false;
}
