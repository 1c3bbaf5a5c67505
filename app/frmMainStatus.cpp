// The status line, the ticks of the session, the device label's fitting and the questions
// before an import is lost.
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <chrono>

#include "app/DesignFonts.h"
#include "app/Latin1.h"
#include "app/MeasurementModel.h"
#include "app/MeridaxApplication.h"
#include "app/Questions.h"
#include "app/frmMain.h"

namespace {

constexpr int TickMilliseconds = 100;
// Kept free between the device label and the Import button.
constexpr int DeviceLabelGap = 4;

QString Grouped(std::size_t number) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong{number});
}

QString Counted(std::size_t number, const char* one, const char* many) {
    return Grouped(number) + QLatin1Char(' ') + QLatin1String(number == 1 ? one : many);
}

// VerdictSummary's words with the counts grouped as the line's other counts are:
// "1,200 relative: 1,180 pass, 20 fail".
std::string VerdictSummaryText(const TVerdictCounts& counts, const char* what) {
    QString text =
        Grouped(counts.Judged()) + QLatin1Char(' ') + QLatin1String(what) + QLatin1Char(':');
    const std::pair<std::size_t, const char*> parts[] = {
        {counts.Pass, "pass"}, {counts.Fail, "fail"}, {counts.Check, "check"}};
    QLatin1String separator(" ");
    for (const auto& [count, name] : parts) {
        if (count > 0) {
            text += separator + Grouped(count) + QLatin1Char(' ') + QLatin1String(name);
            separator = QLatin1String(", ");
        }
    }
    return ToBytes(text);
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
    statusText_ = FromBytes(text);
    lblStatus->setToolTip(statusText_);
    ElideStatus();
}

void TfrmMain::ElideStatus() {
    // Until the window is laid out the label has no width of its own; its first resize
    // cuts the text.
    if (!lblStatus->isVisible()) {
        lblStatus->setText(statusText_);
        return;
    }
    lblStatus->setText(
        lblStatus->fontMetrics().elidedText(statusText_, Qt::ElideRight, lblStatus->width()));
}

void TfrmMain::ShowImportProgress(std::size_t bytes, std::size_t lines) {
    ShowStatus(ToBytes(QStringLiteral("Importing: ") + Counted(bytes, "byte", "bytes") +
                       QStringLiteral(", ") + Counted(lines, "line", "lines")));
}

void TfrmMain::ShowCounts() {
    const auto rows = [this](TTablePage page) {
        return static_cast<std::size_t>(Model(page).rowCount());
    };
    ShowStatus(ToBytes(Counted(rows(TTablePage::All), "measurement", "measurements") +
                       QStringLiteral(": ") + Grouped(rows(TTablePage::Absolute)) +
                       QStringLiteral(" absolute, ") + Grouped(rows(TTablePage::Relative)) +
                       QStringLiteral(" relative")) +
               VerdictCounts());
}

std::string TfrmMain::VerdictCounts() const {
    if (!verdicts_ || verdicts_->size() != Merania.size()) {
        return {};
    }
    TVerdictCounts absolute;
    TVerdictCounts relative;
    for (std::size_t index = 0; index < Merania.size(); ++index) {
        TVerdictCounts& counts = Merania[index].IsRelative ? relative : absolute;
        counts.Add((*verdicts_)[index].Kind);
    }
    std::string text;
    if (relative.Judged() > 0) {
        text += "; " + VerdictSummaryText(relative, "relative");
        const TVerdictCounts fibres = CountFibreResults(FibreResults(Merania, *verdicts_));
        text += "; " + VerdictSummaryText(fibres, fibres.Judged() == 1 ? "fibre" : "fibres");
    }
    if (absolute.Judged() > 0) {
        text += "; " + VerdictSummaryText(absolute, "absolute");
    }
    if (text.empty() && !Merania.empty()) {
        text = "; the loss budget judges none of them";
    }
    return text;
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
        label->setToolTip(text);
        label->adjustSize();
    }
    label->move(left, label->y());
}

bool TfrmMain::MayDropImport(const QString& before) {
    if (!unsavedImport_) {
        return true;
    }
    const auto rows = static_cast<std::size_t>(Model(TTablePage::All).rowCount());
    const QString text = QStringLiteral("The ") + Counted(rows, "measurement", "measurements") +
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
