#include "app/budget/frmLossBudget.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/common/DesignFonts.h"
#include "app/common/FileDialogs.h"
#include "app/common/Latin1.h"
#include "app/common/MeridaxApplication.h"
#include "app/common/WholeText.h"
#include "data/NumberText.h"

namespace {

const QString BudgetFilter = QStringLiteral("Loss budget (*.json)");

// Budget messages are UTF-8; the error handler shows 8-bit texts.
void ReportUtf8Error(const char* message) {
    ReportApplicationError(ToBytes(QString::fromUtf8(message)));
}

QTableWidget* MakeTable(QWidget* parent, const char* name, TBudgetTable table) {
    const auto& columns = BudgetTableColumns(table);
    auto* widget = new QTableWidget(0, static_cast<int>(columns.size()), parent);
    widget->setObjectName(QLatin1String(name));
    QStringList captions;
    for (const char* caption : columns) {
        captions << QLatin1String(caption);
    }
    widget->setHorizontalHeaderLabels(captions);
    // The captions stay whole; the links' cable and every table's last column take the rest.
    widget->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    widget->horizontalHeader()->setSectionResizeMode(
        table == TBudgetTable::Links ? 0 : widget->columnCount() - 1, QHeaderView::Stretch);
    // The row numbers are what a message about a bad cell names.
    widget->verticalHeader()->setDefaultSectionSize(20);
    widget->setSelectionMode(QAbstractItemView::SingleSelection);
    return widget;
}

// A table in a group of its name, with buttons to add and remove rows under it.
QGroupBox* MakeTableGroup(QWidget* parent, QTableWidget* table, TBudgetTable kind,
                          QHBoxLayout** buttons = nullptr) {
    auto* group = new QGroupBox(QLatin1String(BudgetTableName(kind)), parent);
    auto* layout = new QVBoxLayout(group);
    table->setParent(group);
    layout->addWidget(table);
    auto* buttonRow = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add row"), group);
    auto* remove = new QPushButton(QStringLiteral("Remove row"), group);
    add->setObjectName(table->objectName() + QStringLiteral("Add"));
    remove->setObjectName(table->objectName() + QStringLiteral("Remove"));
    // Enter in a cell ends its editing or means OK, never adds or removes a row.
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    QObject::connect(add, &QPushButton::clicked, table, [table] {
        table->insertRow(table->rowCount());
        table->setCurrentCell(table->rowCount() - 1, 0);
    });
    QObject::connect(remove, &QPushButton::clicked, table, [table] {
        const int current = table->currentRow() >= 0 ? table->currentRow() : table->rowCount() - 1;
        if (current >= 0) {
            table->removeRow(current);
        }
    });
    buttonRow->addWidget(add);
    buttonRow->addWidget(remove);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);
    if (buttons != nullptr) {
        *buttons = buttonRow;
    }
    return group;
}

TFormRows Rows(const QTableWidget* table) {
    TFormRows rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem* item = table->item(row, column);
            cells.push_back(item != nullptr ? ToUtf8(item->text()) : std::string());
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

void SetRows(QTableWidget* table, const TFormRows& rows) {
    table->clearContents();
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const auto& cells = rows[static_cast<std::size_t>(row)];
        for (int column = 0; column < table->columnCount(); ++column) {
            const auto at = static_cast<std::size_t>(column);
            table->setItem(row, column,
                           new QTableWidgetItem(at < cells.size() ? Utf8(cells[at]) : QString()));
        }
    }
}

QLineEdit* MakeField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

}  // namespace

TfrmLossBudget::TfrmLossBudget(std::shared_ptr<IFileDialogs> fileDialogs, TCableSource cables,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fileDialogs_(std::move(fileDialogs)),
      cables_(std::move(cables)) {
    setObjectName(QStringLiteral("frmLossBudget"));
    setWindowTitle(QStringLiteral("Loss budget"));
    setFont(DesignFont());

    txtName = MakeField(this, "txtName");
    cbPreset = new QComboBox(this);
    cbPreset->setObjectName(QStringLiteral("cbPreset"));
    cbPreset->addItem(QStringLiteral("(none)"), QString());
    for (const TBudgetPreset& preset : BudgetPresets()) {
        cbPreset->addItem(QString::fromStdString(preset.Name + " (" + preset.Description + ")"),
                          QString::fromStdString(preset.Name));
    }
    lblPresetFigures = new QLabel(this);
    lblPresetFigures->setObjectName(QStringLiteral("lblPresetFigures"));
    lblPresetFigures->setTextFormat(Qt::PlainText);
    cbLossSign = new QComboBox(this);
    cbLossSign->setObjectName(QStringLiteral("cbLossSign"));
    cbLossSign->addItem(QStringLiteral("negative (a loss reads -0.41 dB)"));
    cbLossSign->addItem(QStringLiteral("positive (a loss reads 0.41 dB)"));
    txtGainTolerance = MakeField(this, "txtGainTolerance");
    txtConnectorDb = MakeField(this, "txtConnectorDb");
    txtSpliceDb = MakeField(this, "txtSpliceDb");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Name:"), this), 0, 0);
    fields->addWidget(txtName, 0, 1, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Preset:"), this), 1, 0);
    fields->addWidget(cbPreset, 1, 1);
    fields->addWidget(lblPresetFigures, 2, 1, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Loss sign:"), this), 3, 0);
    fields->addWidget(cbLossSign, 3, 1);
    fields->addWidget(new QLabel(QStringLiteral("Gain tolerance (dB):"), this), 4, 0);
    fields->addWidget(txtGainTolerance, 4, 1);
    fields->addWidget(new QLabel(QStringLiteral("Connector pair (dB):"), this), 1, 2);
    fields->addWidget(txtConnectorDb, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Splice (dB):"), this), 3, 2);
    fields->addWidget(txtSpliceDb, 3, 3);
    MakeMethodFields(fields);
    fields->setColumnStretch(1, 1);

    tblLinks = MakeTable(this, "tblLinks", TBudgetTable::Links);
    tblAttenuation = MakeTable(this, "tblAttenuation", TBudgetTable::Attenuation);
    tblMaxLoss = MakeTable(this, "tblMaxLoss", TBudgetTable::MaxLoss);
    tblPower = MakeTable(this, "tblPower", TBudgetTable::Power);
    QHBoxLayout* linkButtons = nullptr;
    QGroupBox* links = MakeTableGroup(this, tblLinks, TBudgetTable::Links, &linkButtons);
    btnAddCables = new QPushButton(QStringLiteral("Add cables of the current set"), links);
    btnAddCables->setObjectName(QStringLiteral("btnAddCables"));
    btnAddCables->setAutoDefault(false);
    linkButtons->addWidget(btnAddCables);
    btnFillDown = new QPushButton(QStringLiteral("Fill down"), links);
    btnFillDown->setObjectName(QStringLiteral("btnFillDown"));
    btnFillDown->setAutoDefault(false);
    btnFillDown->setToolTip(
        QStringLiteral("Copies the cell to the selected cells below it, or to every row below"));
    linkButtons->addWidget(btnFillDown);
    tblLinks->setSelectionMode(QAbstractItemView::ContiguousSelection);
    auto* perWaveLength = new QHBoxLayout;
    perWaveLength->addWidget(MakeTableGroup(this, tblAttenuation, TBudgetTable::Attenuation), 2);
    perWaveLength->addWidget(MakeTableGroup(this, tblMaxLoss, TBudgetTable::MaxLoss), 2);
    perWaveLength->addWidget(MakeTableGroup(this, tblPower, TBudgetTable::Power), 3);

    const auto button = [this](const char* name, const char* caption) {
        auto* made = new QPushButton(QLatin1String(caption), this);
        made->setObjectName(QLatin1String(name));
        made->setAutoDefault(false);
        return made;
    };
    btnLoad = button("btnLoad", "Load...");
    btnSave = button("btnSave", "Save...");
    btnNoBudget = button("btnNoBudget", "No budget");
    btnOk = button("btnOk", "OK");
    btnOk->setDefault(true);
    btnCancel = button("btnCancel", "Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnLoad);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnNoBudget);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(links, 3);
    layout->addLayout(perWaveLength, 2);
    layout->addLayout(buttons);
    resize(780, 600);

    const auto command = [this](void (TfrmLossBudget::*handler)()) {
        return [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); };
    };
    connect(btnLoad, &QPushButton::clicked, this, command(&TfrmLossBudget::btnLoadClick));
    connect(btnSave, &QPushButton::clicked, this, command(&TfrmLossBudget::btnSaveClick));
    connect(btnAddCables, &QPushButton::clicked, this, command(&TfrmLossBudget::btnAddCablesClick));
    connect(btnFillDown, &QPushButton::clicked, this, command(&TfrmLossBudget::btnFillDownClick));
    connect(btnNoBudget, &QPushButton::clicked, this, command(&TfrmLossBudget::btnNoBudgetClick));
    connect(btnOk, &QPushButton::clicked, this, command(&TfrmLossBudget::btnOkClick));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbPreset, &QComboBox::currentIndexChanged, this, [this] { ShowPresetFigures(); });
    SetBudget(std::nullopt);
}

void TfrmLossBudget::SetBudget(const std::optional<TBudget>& budget) {
    SetForm(budget ? BudgetFormFrom(*budget) : TBudgetForm{});
}

TBudgetForm TfrmLossBudget::Form() const {
    TBudgetForm form;
    form.Name = ToUtf8(txtName->text());
    form.Preset = ToUtf8(cbPreset->currentData().toString());
    form.LossSign = cbLossSign->currentIndex() == 1 ? TLossSign::Positive : TLossSign::Negative;
    form.GainToleranceDb = ToUtf8(txtGainTolerance->text());
    form.ConnectorDb = ToUtf8(txtConnectorDb->text());
    form.SpliceDb = ToUtf8(txtSpliceDb->text());
    if (cbReferenceMethod->currentIndex() > 0)
        form.ReferenceMethod = static_cast<TReferenceMethod>(cbReferenceMethod->currentIndex() - 1);
    form.EndConnectorDb = ToUtf8(txtEndConnectorDb->text());
    form.Launch = ToUtf8(txtLaunch->text());
    form.LinkAttenuations = linkAttenuations_;
    form.PairRule = pairRule_;
    form.Attenuation = Rows(tblAttenuation);
    form.MaxLoss = Rows(tblMaxLoss);
    form.Links = Rows(tblLinks);
    form.Power = Rows(tblPower);
    return form;
}

void TfrmLossBudget::SetForm(const TBudgetForm& form) {
    txtName->setText(Utf8(form.Name));
    cbPreset->setCurrentIndex(std::max(0, cbPreset->findData(Utf8(form.Preset))));
    cbLossSign->setCurrentIndex(form.LossSign == TLossSign::Positive ? 1 : 0);
    txtGainTolerance->setText(Utf8(form.GainToleranceDb));
    txtConnectorDb->setText(Utf8(form.ConnectorDb));
    txtSpliceDb->setText(Utf8(form.SpliceDb));
    cbReferenceMethod->setCurrentIndex(
        form.ReferenceMethod ? static_cast<int>(*form.ReferenceMethod) + 1 : 0);
    txtEndConnectorDb->setText(Utf8(form.EndConnectorDb));
    txtLaunch->setText(Utf8(form.Launch));
    linkAttenuations_ = form.LinkAttenuations;
    pairRule_ = form.PairRule;
    SetRows(tblAttenuation, form.Attenuation);
    SetRows(tblMaxLoss, form.MaxLoss);
    SetRows(tblLinks, form.Links);
    SetRows(tblPower, form.Power);
    ShowPresetFigures();
}

void TfrmLossBudget::ShowPresetFigures() {
    // What an empty field or a wavelength missing from the attenuation table stands for.
    const TBudgetPreset* preset = FindBudgetPreset(ToUtf8(cbPreset->currentData().toString()));
    const auto figure = [](double value) { return QString::fromStdString(FloatToText(value)); };
    QString figures;
    if (preset != nullptr) {
        for (const auto& [waveLength, attenuation] : preset->AttenuationDbPerKm) {
            figures += (figures.isEmpty() ? QString() : QStringLiteral(", ")) +
                       QString::number(waveLength) + QStringLiteral(" nm: ") + figure(attenuation) +
                       QStringLiteral(" dB/km");
        }
        lblPresetFigures->setText(QStringLiteral("Attenuation ") + figures);
    } else {
        lblPresetFigures->setText(QStringLiteral("No attenuation besides the table's"));
    }
    const QString from =
        preset != nullptr ? QStringLiteral(" (preset)") : QStringLiteral(" (default)");
    txtConnectorDb->setPlaceholderText(
        figure(preset != nullptr ? preset->ConnectorDb : DefaultConnectorDb) + from);
    txtSpliceDb->setPlaceholderText(figure(preset != nullptr ? preset->SpliceDb : DefaultSpliceDb) +
                                    from);
    txtGainTolerance->setPlaceholderText(figure(DefaultGainToleranceDb) +
                                         QStringLiteral(" (default)"));
    for (QLineEdit* field : {txtConnectorDb, txtSpliceDb, txtGainTolerance})
        FitPlaceholder(field);
}

QTableWidget* TfrmLossBudget::Table(TBudgetTable table) const {
    switch (table) {
        case TBudgetTable::Attenuation:
            return tblAttenuation;
        case TBudgetTable::MaxLoss:
            return tblMaxLoss;
        case TBudgetTable::Links:
            return tblLinks;
        case TBudgetTable::Power:
            return tblPower;
        case TBudgetTable::None:
            break;
    }
    return nullptr;
}

void TfrmLossBudget::ShowFormError(const EBudgetFormError& error) {
    ReportUtf8Error(error.what());
    if (QTableWidget* table = Table(error.Table)) {
        table->setCurrentCell(error.Row, error.Column);
        table->setFocus();
    }
}

void TfrmLossBudget::btnLoadClick() {
    const auto fileName = fileDialogs_->AskOpenFileName(this, BudgetFilter);
    if (!fileName) {
        return;
    }
    TBudget budget;
    try {
        budget = ReadBudgetFile(ToFileName(*fileName));
    } catch (const EFileError& e) {
        ReportUtf8Error(e.what());
        return;
    }
    SetBudget(budget);
}

void TfrmLossBudget::btnSaveClick() {
    TBudget budget;
    try {
        budget = BudgetFromForm(Form());
    } catch (const EBudgetFormError& e) {
        ShowFormError(e);
        return;
    }
    const auto fileName = fileDialogs_->AskSaveFileName(this, QStringLiteral("Save loss budget"),
                                                        BudgetFilter, QStringLiteral("json"));
    if (!fileName) {
        return;
    }
    try {
        WriteBudgetFile(budget, ToFileName(*fileName));
    } catch (const EFileError& e) {
        ReportUtf8Error(e.what());
    }
}

void TfrmLossBudget::MakeMethodFields(QGridLayout* fields) {
    cbReferenceMethod = new QComboBox(this);
    cbReferenceMethod->setObjectName(QStringLiteral("cbReferenceMethod"));
    // In the order of TReferenceMethod, after the entry that leaves the key out.
    cbReferenceMethod->addItem(QStringLiteral("(default: 1-jumper)"));
    cbReferenceMethod->addItem(QStringLiteral("1-jumper (both end connections measured)"));
    cbReferenceMethod->addItem(QStringLiteral("2-jumper (one end connection in the reference)"));
    cbReferenceMethod->addItem(QStringLiteral("3-jumper (no end connection measured)"));
    txtEndConnectorDb = MakeField(this, "txtEndConnectorDb");
    txtEndConnectorDb->setPlaceholderText(QStringLiteral("the connector pair's"));
    FitPlaceholder(txtEndConnectorDb);
    txtLaunch = MakeField(this, "txtLaunch");
    txtLaunch->setPlaceholderText(QStringLiteral("e.g. encircled flux"));
    FitPlaceholder(txtLaunch);
    fields->addWidget(new QLabel(QStringLiteral("End connection (dB):"), this), 4, 2);
    fields->addWidget(txtEndConnectorDb, 4, 3);
    fields->addWidget(new QLabel(QStringLiteral("Reference method:"), this), 5, 0);
    fields->addWidget(cbReferenceMethod, 5, 1);
    fields->addWidget(new QLabel(QStringLiteral("Launch:"), this), 5, 2);
    fields->addWidget(txtLaunch, 5, 3);
}

void TfrmLossBudget::btnAddCablesClick() {
    if (!cables_) {
        return;
    }
    // The records' texts are 8-bit; the budget's are UTF-8.
    std::vector<std::string> cables;
    for (const std::string& cable : cables_())
        cables.push_back(ToUtf8(FromBytes(cable)));
    TFormRows rows = Rows(tblLinks);
    for (std::vector<std::string>& row : NewCableRows(rows, cables))
        rows.push_back(std::move(row));
    SetRows(tblLinks, rows);
}

void TfrmLossBudget::btnFillDownClick() {
    const int column = tblLinks->currentColumn();
    if (column < 0)
        return;
    int first = tblLinks->currentRow();
    int last = tblLinks->rowCount() - 1;
    const QList<QTableWidgetSelectionRange> ranges = tblLinks->selectedRanges();
    if (!ranges.isEmpty() && ranges.first().rowCount() > 1) {
        first = ranges.first().topRow();
        last = ranges.first().bottomRow();
    }
    TFormRows rows = Rows(tblLinks);
    FillDown(rows, column, first, last);
    SetRows(tblLinks, rows);
}

void TfrmLossBudget::btnNoBudgetClick() {
    result_.reset();
    accept();
}

void TfrmLossBudget::btnOkClick() {
    try {
        result_ = BudgetFromForm(Form());
    } catch (const EBudgetFormError& e) {
        ShowFormError(e);
        return;
    }
    accept();
}
