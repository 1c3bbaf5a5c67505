// The loss budget: its dialog, its keeping between runs, the verdicts of the rows and their
// counts.
#include <QTabWidget>

#include "app/budget/BudgetForm.h"
#include "app/budget/BudgetStore.h"
#include "app/budget/frmLossBudget.h"
#include "app/common/Latin1.h"
#include "app/main/MeasurementModel.h"
#include "app/main/frmMain.h"

namespace {

// Budget texts are UTF-8; the status line takes 8-bit texts.
std::string StatusBytes(const std::string& utf8) {
    return ToBytes(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

}  // namespace

void TfrmMain::LossBudget1Click() {
    TfrmLossBudget dialog(
        options_.FileDialogs, [] { return DistinctCables(Merania); }, this);
    dialog.SetBudget(budget_);
    if (dialog.exec() == QDialog::Accepted) {
        SetBudget(dialog.Result());
    }
}

void TfrmMain::SetBudget(std::optional<TBudget> budget) {
    budget_ = std::move(budget);
    JudgeRows();
    if (Model(TTablePage::All).rowCount() > 0) {
        ShowCounts();
    } else if (budget_) {
        ShowStatus(budget_->Name.empty() ? std::string("Loss budget set")
                                         : "Loss budget set: " + StatusBytes(budget_->Name));
    } else {
        ShowStatus("No loss budget");
    }
    // Applied before it is kept: a configuration that cannot be written is reported and the
    // budget still holds for this run.
    StoreBudget(budget_);
}

QString TfrmMain::LoadBudget() {
    try {
        budget_ = LoadStoredBudget();
    } catch (const EBudgetError& e) {
        budget_.reset();
        return FromBytes("The kept loss budget no longer reads and was dropped: " +
                         StatusBytes(e.what()));
    }
    if (!budget_) {
        return {};
    }
    // The rows of this run are judged by a budget chosen in an earlier one: the user is told.
    return budget_->Name.empty()
               ? QStringLiteral("Loss budget in use (without a name)")
               : QStringLiteral("Loss budget in use: ") + QString::fromStdString(budget_->Name);
}

void TfrmMain::JudgeRows() {
    verdicts_.reset();
    fibreCounts_ = {};
    if (budget_) {
        verdicts_ = std::make_shared<const std::vector<TVerdict>>(JudgeRecords(*budget_, Merania));
        fibreCounts_ = CountFibreResults(FibreResults(Merania, *verdicts_));
    }
    for (TMeasurementModel* model : models_) {
        model->SetVerdicts(verdicts_, Merania);
    }
}

const std::vector<TVerdict>* TfrmMain::ExportVerdicts(std::vector<TVerdict>& storage) const {
    if (!verdicts_ || verdicts_->size() != Merania.size()) {
        return nullptr;
    }
    storage = PageVerdicts(*verdicts_, Merania, static_cast<TTablePage>(pgMerania->currentIndex()));
    return &storage;
}
