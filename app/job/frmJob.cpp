#include "app/job/frmJob.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include "app/common/Latin1.h"
#include "app/job/JobController.h"
#include "app/job/JobDialogs.h"
#include "app/job/JobResultsModel.h"

namespace {

// "2  3f2a9c1e  2026-11-03  B→A  Ann  Meter 1"; a void one begins "VOID  " and ends with
// its reason and a fix made after it.
QString DownloadLine(const TDownload& download) {
    QString line = QStringLiteral("%1  %2  %3  %4  %5  %6")
                       .arg(QString::number(download.Number),
                            Utf8(download.RecordsSha256.substr(0, 8)), Utf8(download.TestDate),
                            Utf8(DirectionCaption(download.Direction)), Utf8(download.Operator),
                            Utf8(download.Meter.empty() ? download.Source : download.Meter));
    if (download.Void) {
        // At the start: the end of a long line is out of sight in the narrow list.
        line = QStringLiteral("VOID  ") + line + QStringLiteral("  reason: ") +
               Utf8(download.VoidReason);
        // Whoever voided it did not know of the fix: the fix may have been all it needed.
        if (!download.FixedAfterVoidAt.empty()) {
            line += QStringLiteral("; fixed after voiding by %1 on %2: unvoid if the fix is right")
                        .arg(download.FixedAfterVoidBy.empty() ? QStringLiteral("someone")
                                                               : Utf8(download.FixedAfterVoidBy),
                             Utf8(download.FixedAfterVoidAt));
        }
    }
    return line;
}

// A header whose sections keep for the sort mark what the style takes from the caption for
// it (half the header's height and two margins), not the whole height Qt reserves, which
// for captions of two lines would widen every column by half again.
class TFigureHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
        if (isSortIndicatorShown()) {
            // The header is as high as its tallest section, a one-line caption's too.
            int height = size.height();
            for (int section = 0; section < count(); ++section) {
                height = std::max(height, QHeaderView::sectionSizeFromContents(section).height());
            }
            const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
            size.rwidth() += height / 2 + margin - size.height();
        }
        return size;
    }
};

}  // namespace

TfrmJob::TfrmJob(TJobController& controller, std::shared_ptr<IJobDialogs> dialogs, QWidget* parent)
    : QMainWindow(parent),
      controller_(controller),
      dialogs_(std::move(dialogs)),
      model_(new TJobResultsModel(this)),
      filter_(new TJobFilterModel(this)) {
    setObjectName(QStringLiteral("frmJob"));
    filter_->setSourceModel(model_);
    BuildLayout();
    resize(1010, 520);
    auto* refresh = new QAction(QStringLiteral("Refresh"), this);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(refresh);
    connect(refresh, &QAction::triggered, this, &TfrmJob::Refresh);
    connect(&controller_, &TJobController::SnapshotReady, this, &TfrmJob::ShowSnapshot);
    connect(&controller_, &TJobController::Loading, this, &TfrmJob::ShowStatus);
    connect(&controller_, &TJobController::Progress, this, &TfrmJob::ShowStatus);
    connect(&controller_, &TJobController::Status, this, &TfrmJob::ShowOutcome);
    connect(&controller_, &TJobController::Failed, this, [this](const QString& message) {
        ownAction_ = false;
        ShowStatus(message);
    });
    connect(&controller_, &TJobController::JobChanged, this, &TfrmJob::FollowJob);
    FollowJob();
}

void TfrmJob::BuildLayout() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Show:"), central));
    cbFilter = new QComboBox(central);
    cbFilter->setObjectName(QStringLiteral("cbFilter"));
    cbFilter->addItems({QStringLiteral("All"), QStringLiteral("FAIL"), QStringLiteral("CHECK"),
                        QStringLiteral("One direction"), QStringLiteral("Untested")});
    top->addWidget(cbFilter);
    lblRows = new QLabel(central);
    lblRows->setObjectName(QStringLiteral("lblRows"));
    top->addWidget(lblRows);
    top->addSpacing(16);
    lblArchive = new QLabel(central);
    lblArchive->setObjectName(QStringLiteral("lblArchive"));
    lblArchive->setTextFormat(Qt::PlainText);
    top->addWidget(lblArchive, 1);
    layout->addLayout(top);

    auto* splitter = new QSplitter(central);
    ResultsView = new QTableView(splitter);
    ResultsView->setObjectName(QStringLiteral("ResultsView"));
    ResultsView->setHorizontalHeader(new TFigureHeader(Qt::Horizontal, ResultsView));
    ResultsView->setModel(filter_);
    ResultsView->setSortingEnabled(true);
    ResultsView->sortByColumn(-1, Qt::AscendingOrder);
    ResultsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ResultsView->setSelectionMode(QAbstractItemView::SingleSelection);
    ResultsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultsView->setWordWrap(false);
    ResultsView->verticalHeader()->hide();
    ResultsView->verticalHeader()->setDefaultSectionSize(20);
    // Every column as wide as its texts and its caption with the sort mark, never cut; the
    // last takes what the window gains.
    QHeaderView& header = *ResultsView->horizontalHeader();
    header.setSectionResizeMode(QHeaderView::ResizeToContents);
    header.setStretchLastSection(true);
    // A power reading is no loss: its column stands before the losses'.
    header.moveSection(TJobResultsModel::Power, TJobResultsModel::AToB);

    BuildSidePanel(splitter);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({800, 200});
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(lblStatus, 1);

    connect(cbFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        filter_->SetFilter(static_cast<TJobFilter>(index));
        ShowRowCount();
    });
    connect(ResultsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfrmJob::ShowHistory);
    connect(btnFix, &QPushButton::clicked, this, &TfrmJob::FixClick);
    connect(btnVoid, &QPushButton::clicked, this, [this] { VoidClick(true); });
    connect(btnUnvoid, &QPushButton::clicked, this, [this] { VoidClick(false); });
}

void TfrmJob::BuildSidePanel(QWidget* splitter) {
    auto* side = new QWidget(splitter);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(new QLabel(QStringLiteral("Re-tests of the row:"), side));
    edtHistory = new QPlainTextEdit(side);
    edtHistory->setObjectName(QStringLiteral("edtHistory"));
    edtHistory->setReadOnly(true);
    sideLayout->addWidget(edtHistory, 1);
    sideLayout->addWidget(new QLabel(QStringLiteral("Downloads:"), side));
    lstDownloads = new QListWidget(side);
    lstDownloads->setObjectName(QStringLiteral("lstDownloads"));
    sideLayout->addWidget(lstDownloads, 2);
    auto* buttons = new QHBoxLayout;
    btnFix = new QPushButton(QStringLiteral("Fix\u2026"), side);
    btnFix->setObjectName(QStringLiteral("btnFix"));
    btnFix->setToolTip(QStringLiteral("Corrects the download's direction, test date or operator"));
    buttons->addWidget(btnFix);
    btnVoid = new QPushButton(QStringLiteral("Void\u2026"), side);
    btnVoid->setObjectName(QStringLiteral("btnVoid"));
    btnUnvoid = new QPushButton(QStringLiteral("Count again"), side);
    btnUnvoid->setObjectName(QStringLiteral("btnUnvoid"));
    buttons->addWidget(btnVoid);
    buttons->addWidget(btnUnvoid);
    buttons->addStretch(1);
    sideLayout->addLayout(buttons);
}

QString TfrmJob::StatusText() const {
    return lblStatus->text();
}

void TfrmJob::ShowStatus(const QString& text) {
    lblStatus->setText(text);
}

void TfrmJob::ShowOutcome(const QString& text) {
    if (ownAction_) {
        ownAction_ = false;
        outcome_ = text;
    }
    ShowStatus(text);
}

void TfrmJob::ShowRowCount() {
    const int shown = filter_->rowCount();
    const int all = model_->rowCount();
    const QString rows = all == 1 ? QStringLiteral("row") : QStringLiteral("rows");
    lblRows->setText(shown == all ? QStringLiteral("%1 %2").arg(QString::number(all), rows)
                                  : QStringLiteral("%1 of %2 %3")
                                        .arg(QString::number(shown), QString::number(all), rows));
}

void TfrmJob::FollowJob() {
    const QString name = Utf8(controller_.JobName());
    setWindowTitle(name.isEmpty() ? QStringLiteral("Job") : QStringLiteral("Job %1").arg(name));
    lblArchive->setText(QStringLiteral("Archive: ") + controller_.ShownArchive());
    if (!controller_.Snapshot()) {
        // Nothing of the job before may stay: another archive or job is not read yet.
        model_->SetRows({});
        lstDownloads->clear();
        edtHistory->clear();
        ShowRowCount();
        ownAction_ = false;
        outcome_.clear();
        ShowStatus(controller_.HasJob() ? QString() : QStringLiteral("No job open"));
    }
}

void TfrmJob::Refresh() {
    controller_.Refresh();
}

void TfrmJob::ShowSnapshot() {
    const auto& snapshot = controller_.Snapshot();
    if (!snapshot) {
        return;
    }
    FollowJob();
    model_->SetRows(JobRows(snapshot->Results));
    ShowRowCount();
    ShowDownloads();
    ShowHistory();
    QString text = Utf8(JobCountsText(snapshot->Results.Counts));
    if (snapshot->Results.Completeness.Expected > 0) {
        text += QStringLiteral("; ") + Utf8(CompletenessText(snapshot->Results.Completeness));
    }
    if (!snapshot->BudgetError.empty()) {
        text = QStringLiteral("The job's budget cannot be read: ") + Utf8(snapshot->BudgetError);
    }
    if (snapshot->ReadOnly) {
        text += QStringLiteral(" (archive read-only)");
    }
    if (!outcome_.isEmpty()) {
        text = outcome_ + QStringLiteral("; ") + text;
        outcome_.clear();
    }
    ShowStatus(text);
}

void TfrmJob::ShowDownloads() {
    const int current = lstDownloads->currentRow();
    lstDownloads->clear();
    for (const TDownload& download : controller_.Snapshot()->Downloads) {
        auto* item = new QListWidgetItem(DownloadLine(download), lstDownloads);
        // The list is narrow: the void's reason and a later fix show whole on hovering.
        item->setToolTip(item->text());
        item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(download.Number));
        if (download.Void) {
            item->setForeground(lstDownloads->palette().color(QPalette::Disabled, QPalette::Text));
        }
    }
    lstDownloads->setCurrentRow(std::min(current, lstDownloads->count() - 1));
}

void TfrmJob::ShowHistory() {
    const QModelIndex index = filter_->mapToSource(ResultsView->currentIndex());
    if (!index.isValid()) {
        edtHistory->clear();
        return;
    }
    edtHistory->setPlainText(
        JobRowHistory(model_->Rows().at(static_cast<std::size_t>(index.row()))));
}

void TfrmJob::VoidClick(bool isVoid) {
    const QListWidgetItem* item = lstDownloads->currentItem();
    if (item == nullptr) {
        ShowStatus(QStringLiteral("Choose a download in the list first"));
        return;
    }
    const std::int64_t number = item->data(Qt::UserRole).toLongLong();
    std::string reason;
    if (isVoid) {
        const std::optional<std::string> given = dialogs_->AskVoidReason(this, number);
        if (!given) {
            return;
        }
        reason = *given;
    }
    ownAction_ = true;
    controller_.SetVoid(number, isVoid, reason);
}

const TDownload* TfrmJob::SelectedDownload() {
    const QListWidgetItem* item = lstDownloads->currentItem();
    const auto& snapshot = controller_.Snapshot();
    if (item != nullptr && snapshot) {
        const std::int64_t number = item->data(Qt::UserRole).toLongLong();
        for (const TDownload& download : snapshot->Downloads) {
            if (download.Number == number) {
                return &download;
            }
        }
    }
    ShowStatus(QStringLiteral("Choose a download in the list first"));
    return nullptr;
}

void TfrmJob::FixClick() {
    const TDownload* selected = SelectedDownload();
    if (selected == nullptr) {
        return;
    }
    // A copy: the snapshot may be replaced while the dialog is open.
    const TDownload download = *selected;
    const std::optional<TDownloadFix> fix = dialogs_->AskFix(this, download);
    if (!fix) {
        return;
    }
    if (!fix->Direction && !fix->TestDate && !fix->Operator) {
        ShowStatus(QStringLiteral("Download %1 not fixed: nothing was changed")
                       .arg(QString::number(download.Number)));
        return;
    }
    ownAction_ = true;
    controller_.FixDownload(download, *fix);
}
