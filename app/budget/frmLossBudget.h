#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/budget/BudgetForm.h"
#include "verdict/Budget.h"

class IFileDialogs;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Loss budget": the budget the tables are judged by. OK hands back the budget the widgets
// say (a bad cell is named and the dialog stays), "No budget" hands back none, Cancel and
// the close box change nothing. Load and Save read and write a budget file; a file that
// cannot be read leaves the widgets as they were.
class TfrmLossBudget : public QDialog {
    Q_OBJECT

public:
    // The 8-bit Cable texts of the current measurement set, asked for when the user wants
    // them.
    using TCableSource = std::function<std::vector<std::string>()>;

    TfrmLossBudget(std::shared_ptr<IFileDialogs> fileDialogs, TCableSource cables,
                   QWidget* parent = nullptr);

    // Fills the widgets from budget; none empties them.
    void SetBudget(const std::optional<TBudget>& budget);
    // What was chosen, once exec() has returned Accepted.
    const std::optional<TBudget>& Result() const { return result_; }

    TBudgetForm Form() const;
    void SetForm(const TBudgetForm& form);

    // The commands of the buttons.
    void btnLoadClick();
    void btnSaveClick();
    void btnAddCablesClick();
    void btnFillDownClick();
    void btnNoBudgetClick();
    void btnOkClick();

    QLineEdit* txtName;
    QComboBox* cbPreset;
    QLabel* lblPresetFigures;
    QComboBox* cbLossSign;
    QLineEdit* txtGainTolerance;
    QLineEdit* txtConnectorDb;
    QLineEdit* txtSpliceDb;
    QComboBox* cbReferenceMethod;
    QLineEdit* txtEndConnectorDb;
    QLineEdit* txtLaunch;
    QTableWidget* tblLinks;
    QTableWidget* tblAttenuation;
    QTableWidget* tblMaxLoss;
    QTableWidget* tblPower;
    QPushButton* btnAddCables;
    QPushButton* btnFillDown;
    QPushButton* btnLoad;
    QPushButton* btnSave;
    QPushButton* btnNoBudget;
    QPushButton* btnOk;
    QPushButton* btnCancel;

private:
    // The reference method, the end-connection figure and the launch, in rows 4 and 5.
    void MakeMethodFields(class QGridLayout* fields);
    QTableWidget* Table(TBudgetTable table) const;
    // The links' own attenuations, which no widget shows, kept from SetForm to Form.
    std::map<std::string, TWavelengthTable> linkAttenuations_;
    // The pair rule, which no widget shows either.
    std::optional<TPairRule> pairRule_;
    void ShowPresetFigures();
    // Reports a bad cell or field and puts the cursor on it.
    void ShowFormError(const EBudgetFormError& error);

    std::shared_ptr<IFileDialogs> fileDialogs_;
    TCableSource cables_;
    std::optional<TBudget> result_;
};
