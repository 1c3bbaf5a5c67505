// The Job menu's questions as Qt dialogs: forms with OK and Cancel.
#include "app/job/JobDialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/common/Latin1.h"
#include "app/common/WholeText.h"
#include "app/job/JobProperties.h"
#include "archive/Archive.h"
#include "jobs/JobLimits.h"

namespace {

// The characters a New job field shows whole.
constexpr int NewJobFieldChars = 44;

// A dialog whose form goes above OK and Cancel; OK is refused while ready() says no.
class TFormDialog : public QDialog {
public:
    TFormDialog(QWidget* owner, const QString& title) : QDialog(owner) {
        setWindowTitle(title);
        auto* layout = new QVBoxLayout(this);
        Form = new QFormLayout;
        layout->addLayout(Form);
        Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(Buttons);
        connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    void RequireText(QLineEdit* edit) {
        const auto follow = [this, edit] {
            Buttons->button(QDialogButtonBox::Ok)->setEnabled(!edit->text().trimmed().isEmpty());
        };
        connect(edit, &QLineEdit::textChanged, this, follow);
        follow();
    }

    QLineEdit* AddLine(const QString& caption, const QString& text, const char* name) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(QLatin1String(name));
        Form->addRow(caption, edit);
        return edit;
    }

    QFormLayout* Form;
    QDialogButtonBox* Buttons;
};

// A file field with a Browse button beside it.
QLineEdit* AddFileField(TFormDialog& dialog, const QString& caption, const char* name,
                        const QString& filter) {
    auto* row = new QWidget(&dialog);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QLineEdit(row);
    edit->setObjectName(QLatin1String(name));
    auto* browse = new QPushButton(QStringLiteral("Browse\u2026"), row);
    layout->addWidget(edit);
    layout->addWidget(browse);
    QObject::connect(browse, &QPushButton::clicked, &dialog, [&dialog, edit, filter] {
        const QString file = QFileDialog::getOpenFileName(&dialog, QString(), edit->text(), filter);
        if (!file.isEmpty()) {
            edit->setText(file);
        }
    });
    dialog.Form->addRow(caption, row);
    return edit;
}

// The choice of a file or a PostgreSQL database, as the Archive dialog and Sync with… offer it.
struct TLocationFields {
    QRadioButton* File;
    QRadioButton* Postgres;
    QLineEdit* FileName;
    QLineEdit* Uri;
    QLineEdit* Password;
};

TLocationFields AddLocationFields(TFormDialog& dialog, const TArchiveChoice& current,
                                  const QString& passwordNote) {
    TLocationFields fields{};
    fields.File = new QRadioButton(QStringLiteral("Another file:"), &dialog);
    fields.Postgres = new QRadioButton(QStringLiteral("A PostgreSQL database:"), &dialog);
    dialog.Form->addRow(fields.File);
    fields.FileName = AddFileField(dialog, QStringLiteral("File:"), "edtFile",
                                   QStringLiteral("SQLite archive (*.sqlite);;All files (*)"));
    dialog.Form->addRow(fields.Postgres);
    fields.Uri = dialog.AddLine(QStringLiteral("URI:"), {}, "edtUri");
    fields.Uri->setPlaceholderText(QStringLiteral("postgresql://user@host/database"));
    fields.Password =
        dialog.AddLine(QStringLiteral("Password:"), Utf8(current.Password), "edtPassword");
    fields.Password->setEchoMode(QLineEdit::Password);
    fields.Password->setPlaceholderText(passwordNote);
    FitPlaceholder(fields.Password);
    (current.Kind == TArchiveChoice::TKind::Postgres ? fields.Uri : fields.FileName)
        ->setText(Utf8(current.Location));
    return fields;
}

// The choice the fields hold; Default when neither kind is chosen.
TArchiveChoice ChosenLocation(const TLocationFields& fields) {
    TArchiveChoice choice;
    if (fields.File->isChecked()) {
        choice.Kind = TArchiveChoice::TKind::File;
        choice.Location = ToUtf8(fields.FileName->text().trimmed());
    } else if (fields.Postgres->isChecked()) {
        choice.Kind = TArchiveChoice::TKind::Postgres;
        choice.Location = ToUtf8(fields.Uri->text().trimmed());
        choice.Password = ToUtf8(fields.Password->text());
    }
    return choice;
}

QComboBox* AddDirectionBox(TFormDialog& dialog, TDirection direction) {
    auto* box = new QComboBox(&dialog);
    box->setObjectName(QStringLiteral("cbDirection"));
    box->addItem(QStringLiteral("A\u2192B"), static_cast<int>(TDirection::AToB));
    box->addItem(QStringLiteral("B\u2192A"), static_cast<int>(TDirection::BToA));
    box->addItem(QStringLiteral("none"), static_cast<int>(TDirection::None));
    box->setCurrentIndex(box->findData(static_cast<int>(direction)));
    dialog.Form->addRow(QStringLiteral("Direction:"), box);
    return box;
}

// Asks about the warning an add in direction earns; true: add (no warning, or add anyway).
bool ConfirmAddWarning(QWidget* owner, const TAddContext& context, TDirection direction) {
    const QString warning = context.Warning ? context.Warning(direction) : QString();
    if (warning.isEmpty()) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Add to job"), warning,
                    QMessageBox::NoButton, owner);
    box.setObjectName(QStringLiteral("msgAddWarning"));
    QPushButton* add = box.addButton(QStringLiteral("Add anyway"), QMessageBox::AcceptRole);
    QPushButton* back = box.addButton(QStringLiteral("Go back"), QMessageBox::RejectRole);
    box.setDefaultButton(back);
    box.exec();
    return box.clickedButton() == add;
}

QCheckBox* AddWindowBudgetBox(TFormDialog& dialog, const std::optional<QString>& windowBudget) {
    auto* box = new QCheckBox(
        windowBudget ? QStringLiteral("Use the window's loss budget (%1)").arg(*windowBudget)
                     : QStringLiteral("Use the window's loss budget (the window has none)"),
        &dialog);
    box->setObjectName(QStringLiteral("chkWindowBudget"));
    box->setEnabled(windowBudget.has_value());
    dialog.Form->addRow(box);
    return box;
}

void AddExpectedFibresRow(QTableWidget* table, const QString& cable, int count) {
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(cable));
    auto* fibres = new QSpinBox(table);
    fibres->setRange(0, MaxExpectedFibres);
    fibres->setValue(count);
    table->setCellWidget(row, 1, fibres);
}

// The fibres each cable is expected to have, for the Untested filter; 0 removes a cable.
QTableWidget* AddExpectedFibresTable(TFormDialog& dialog,
                                     const std::map<std::string, int>& expected) {
    auto* table = new QTableWidget(0, 2, &dialog);
    table->setObjectName(QStringLiteral("tblExpectedFibres"));
    table->setHorizontalHeaderLabels({QStringLiteral("Cable"), QStringLiteral("Fibres")});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (const auto& [cable, count] : expected) {
        AddExpectedFibresRow(table, Utf8(cable), count);
    }
    auto* add = new QPushButton(QStringLiteral("Add cable"), &dialog);
    add->setObjectName(QStringLiteral("btnAddCable"));
    QObject::connect(add, &QPushButton::clicked, table, [table] {
        AddExpectedFibresRow(table, QString(), 0);
        table->editItem(table->item(table->rowCount() - 1, 0));
    });
    dialog.Form->addRow(QStringLiteral("Expected fibres:"), table);
    dialog.Form->addRow(add);
    return table;
}

std::map<std::string, int> ExpectedFibresOf(const QTableWidget& table) {
    std::map<std::string, int> expected;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QTableWidgetItem* cable = table.item(row, 0);
        const auto* fibres = qobject_cast<const QSpinBox*>(table.cellWidget(row, 1));
        if (cable && fibres && !cable->text().trimmed().isEmpty()) {
            expected[ToUtf8(cable->text().trimmed())] = fibres->value();
        }
    }
    return expected;
}

}  // namespace

std::optional<TJob> TQtJobDialogs::AskNewJob(QWidget* owner) {
    TFormDialog dialog(owner, QStringLiteral("New job"));
    QLineEdit* name = dialog.AddLine(QStringLiteral("Name:"), {}, "edtName");
    QLineEdit* customer = dialog.AddLine(QStringLiteral("Customer:"), {}, "edtCustomer");
    QLineEdit* site = dialog.AddLine(QStringLiteral("Site:"), {}, "edtSite");
    QLineEdit* contractor = dialog.AddLine(QStringLiteral("Contractor:"), {}, "edtContractor");
    // A job's name, customer and site as long as a street address are read whole.
    for (QLineEdit* field : {name, customer, site, contractor}) {
        field->setMinimumWidth(field->fontMetrics().averageCharWidth() * NewJobFieldChars);
    }
    dialog.RequireText(name);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    TJob job;
    job.Name = ToUtf8(name->text().trimmed());
    job.Customer = ToUtf8(customer->text());
    job.Site = ToUtf8(site->text());
    job.Contractor = ToUtf8(contractor->text());
    return job;
}

std::optional<std::string> TQtJobDialogs::AskOpenJob(QWidget* owner,
                                                     const std::vector<TJobEntry>& entries,
                                                     const std::string& current) {
    TFormDialog dialog(owner, QStringLiteral("Open job"));
    auto* list = new QTreeWidget(&dialog);
    list->setObjectName(QStringLiteral("lstJobs"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Job"), QStringLiteral("Customer"),
                           QStringLiteral("Site"), QStringLiteral("Downloads"),
                           QStringLiteral("Last added")});
    for (const TJobEntry& entry : entries) {
        auto* item = new QTreeWidgetItem(
            list,
            {Utf8(entry.Name), Utf8(entry.Customer), Utf8(entry.Site),
             QString::number(entry.Downloads),
             Utf8(entry.LastAddedAt.substr(0, 16)).replace(QLatin1Char('T'), QLatin1Char(' '))});
        item->setData(0, Qt::UserRole, Utf8(entry.Name));
        if (entry.Name == current) {
            list->setCurrentItem(item);
        }
    }
    list->header()->resizeSections(QHeaderView::ResizeToContents);
    // Every column whole, Downloads and Last added too, beside a vertical scrollbar.
    int columns = 0;
    for (int column = 0; column < list->columnCount(); ++column) {
        columns += list->header()->sectionSize(column);
    }
    list->setMinimumWidth(std::max(
        520, columns + 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width()));
    if (list->currentItem() == nullptr && list->topLevelItemCount() > 0) {
        list->setCurrentItem(list->topLevelItem(0));
    }
    dialog.Form->addRow(list);
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    dialog.Buttons->button(QDialogButtonBox::Ok)->setEnabled(!entries.empty());
    if (dialog.exec() != QDialog::Accepted || list->currentItem() == nullptr) {
        return std::nullopt;
    }
    return ToUtf8(list->currentItem()->data(0, Qt::UserRole).toString());
}

bool TQtJobDialogs::AskMakeArchive(QWidget* owner, const QString& location) {
    QMessageBox box(
        QMessageBox::Question, QStringLiteral("Archive"),
        QStringLiteral("There is no archive at %1.\nMake a new archive at %1?").arg(location),
        QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(QStringLiteral("msgMakeArchive"));
    // A mistyped name is the likelier reason.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString StandardArchiveCaption() {
    const QString location = Utf8(ShownLocation(ArchiveLocation("")));
    return qEnvironmentVariableIsEmpty("MERIDAX_ARCHIVE")
               ? QStringLiteral("The default file: %1").arg(location)
               : QStringLiteral("$MERIDAX_ARCHIVE: %1").arg(location);
}

std::optional<TArchiveChoice> TQtJobDialogs::AskArchive(QWidget* owner,
                                                        const TArchiveChoice& current) {
    using TKind = TArchiveChoice::TKind;
    TFormDialog dialog(owner, QStringLiteral("Archive"));
    auto* standard = new QRadioButton(StandardArchiveCaption(), &dialog);
    dialog.Form->addRow(standard);
    const TLocationFields fields = AddLocationFields(
        dialog, current, QStringLiteral("kept until the program ends; empty: ~/.pgpass"));
    (current.Kind == TKind::File       ? fields.File
     : current.Kind == TKind::Postgres ? fields.Postgres
                                       : standard)
        ->setChecked(true);
    // The only safe copy of an archive in use: made by the archive itself, whole.
    auto* saveCopy = new QPushButton(QStringLiteral("Save a copy\u2026"), &dialog);
    saveCopy->setObjectName(QStringLiteral("btnSaveCopy"));
    saveCopy->setToolTip(QStringLiteral("Writes a copy of the archive in use, whole as of now"));
    dialog.Form->addRow(saveCopy);
    bool copyWanted = false;
    QObject::connect(saveCopy, &QPushButton::clicked, &dialog, [&dialog, &copyWanted] {
        copyWanted = true;
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    if (copyWanted) {
        TArchiveChoice copy = current;
        copy.SaveCopy = true;
        return copy;
    }
    return ChosenLocation(fields);
}

std::optional<TArchiveChoice> TQtJobDialogs::AskSyncWith(QWidget* owner, const QString& jobName) {
    TFormDialog dialog(owner, QStringLiteral("Sync job %1 with").arg(jobName));
    auto* note = new QLabel(QStringLiteral("The archive to exchange the job's downloads and "
                                           "decisions with; the job is made there when missing."),
                            &dialog);
    note->setWordWrap(true);
    dialog.Form->addRow(note);
    dialog.setMinimumWidth(440);
    TArchiveChoice start;
    start.Kind = TArchiveChoice::TKind::File;
    const TLocationFields fields =
        AddLocationFields(dialog, start, QStringLiteral("for this sync only; empty: ~/.pgpass"));
    fields.File->setText(QStringLiteral("A file:"));
    fields.File->setChecked(true);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return ChosenLocation(fields);
}

std::optional<TAddAnswers> TQtJobDialogs::AskAddToJob(QWidget* owner, const TAddContext& context) {
    TFormDialog dialog(owner, QStringLiteral("Add to job"));
    // The whole name, wrapped: a title would cut it.
    auto* job = new QLabel(QStringLiteral("Job: %1").arg(context.JobName), &dialog);
    job->setObjectName(QStringLiteral("lblAddJob"));
    job->setWordWrap(true);
    dialog.Form->addRow(job);
    auto* what = new QLabel(context.WhatText, &dialog);
    what->setObjectName(QStringLiteral("lblAddWhat"));
    what->setWordWrap(true);
    dialog.Form->addRow(what);
    dialog.setMinimumWidth(380);
    const TAddAnswers& proposed = context.Proposed;
    QComboBox* direction = AddDirectionBox(dialog, proposed.Direction);
    QLineEdit* person =
        dialog.AddLine(QStringLiteral("Operator:"), Utf8(proposed.Operator), "edtOperator");
    auto* date = new QDateEdit(&dialog);
    date->setObjectName(QStringLiteral("edtTestDate"));
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date->setCalendarPopup(true);
    const QDate given = QDate::fromString(Utf8(proposed.TestDate), Qt::ISODate);
    date->setDate(given.isValid() ? given : QDate::currentDate());
    dialog.Form->addRow(QStringLiteral("Test date:"), date);
    const auto chosen = [&] {
        TAddAnswers answers;
        answers.Direction = static_cast<TDirection>(direction->currentData().toInt());
        answers.Operator = ToUtf8(person->text().trimmed());
        answers.TestDate = date->date().toString(Qt::ISODate).toStdString();
        return answers;
    };
    // The question goes over the dialog, which stays as it is for Go back.
    QObject::disconnect(dialog.Buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(dialog.Buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        if (ConfirmAddWarning(&dialog, context, chosen().Direction)) {
            dialog.accept();
        }
    });
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosen();
}

std::optional<TJobProperties> TQtJobDialogs::AskJobProperties(
    QWidget* owner, const TJob& job, const std::optional<QString>& windowBudget) {
    TFormDialog dialog(owner, QStringLiteral("Job properties \u2013 %1").arg(Utf8(job.Name)));
    QLineEdit* customer =
        dialog.AddLine(QStringLiteral("Customer:"), Utf8(job.Customer), "edtCustomer");
    QLineEdit* site = dialog.AddLine(QStringLiteral("Site:"), Utf8(job.Site), "edtSite");
    QLineEdit* contractor =
        dialog.AddLine(QStringLiteral("Contractor:"), Utf8(job.Contractor), "edtContractor");
    auto* notes = new QPlainTextEdit(Utf8(job.Notes), &dialog);
    notes->setObjectName(QStringLiteral("edtNotes"));
    dialog.Form->addRow(QStringLiteral("Notes:"), notes);
    auto* inForce = new QLabel(JobBudgetCaption(job), &dialog);
    inForce->setObjectName(QStringLiteral("lblBudgetInForce"));
    dialog.Form->addRow(QStringLiteral("Budget in force:"), inForce);
    QCheckBox* useWindow = AddWindowBudgetBox(dialog, windowBudget);
    QLineEdit* budget = AddFileField(dialog, QStringLiteral("Budget file:"), "edtBudget",
                                     QStringLiteral("Loss budget (*.json)"));
    budget->setPlaceholderText(job.Budgets.empty() ? QStringLiteral("none yet")
                                                   : QStringLiteral("unchanged"));
    // One budget at a time: the window's replaces a file's.
    QObject::connect(useWindow, &QCheckBox::toggled, budget->parentWidget(), &QWidget::setDisabled);
    QLineEdit* logo = AddFileField(dialog, QStringLiteral("Logo file:"), "edtLogo",
                                   QStringLiteral("Logo (*.png *.svg)"));
    logo->setPlaceholderText(job.Logo.empty() ? QStringLiteral("none yet")
                                              : QStringLiteral("unchanged"));
    QTableWidget* fibres = AddExpectedFibresTable(dialog, job.ExpectedFibres);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    TJobProperties properties;
    properties.Customer = ToUtf8(customer->text());
    properties.Site = ToUtf8(site->text());
    properties.Contractor = ToUtf8(contractor->text());
    properties.Notes = ToUtf8(notes->toPlainText());
    properties.UseWindowBudget = useWindow->isChecked();
    properties.BudgetFile = properties.UseWindowBudget ? QString() : budget->text().trimmed();
    properties.LogoFile = logo->text().trimmed();
    properties.ExpectedFibres = ExpectedFibresOf(*fibres);
    return properties;
}

std::optional<std::string> TQtJobDialogs::AskVoidReason(QWidget* owner, std::int64_t download) {
    bool ok = false;
    const QString reason =
        QInputDialog::getText(owner, QStringLiteral("Void download %1").arg(download),
                              QStringLiteral("Why does download %1 no longer count?").arg(download),
                              QLineEdit::Normal, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return ToUtf8(reason);
}

std::optional<TDownloadFix> TQtJobDialogs::AskFix(QWidget* owner, const TDownload& download) {
    TFormDialog dialog(owner, QStringLiteral("Fix download %1 (%2)")
                                  .arg(QString::number(download.Number),
                                       Utf8(download.RecordsSha256.substr(0, 8))));
    auto* note = new QLabel(QStringLiteral("Only what you change is written; the readings stay "
                                           "as the meter gave them."),
                            &dialog);
    note->setWordWrap(true);
    dialog.Form->addRow(note);
    // Wide enough for the title with the download's hash.
    dialog.setMinimumWidth(380);
    QComboBox* direction = AddDirectionBox(dialog, download.Direction);
    auto* date = new QDateEdit(&dialog);
    date->setObjectName(QStringLiteral("edtTestDate"));
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date->setCalendarPopup(true);
    // A download without a date shows "none" (the lowest date) rather than a made-up one.
    date->setMinimumDate(QDate(1990, 1, 1));
    date->setSpecialValueText(QStringLiteral("none"));
    const QDate given = QDate::fromString(Utf8(download.TestDate), Qt::ISODate);
    date->setDate(given.isValid() ? given : date->minimumDate());
    dialog.Form->addRow(QStringLiteral("Test date:"), date);
    QLineEdit* person =
        dialog.AddLine(QStringLiteral("Operator:"), Utf8(download.Operator), "edtOperator");
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    TDownloadFix fix;
    const auto chosen = static_cast<TDirection>(direction->currentData().toInt());
    if (chosen != download.Direction) {
        fix.Direction = chosen;
    }
    if (date->date() != date->minimumDate() && date->date() != given) {
        fix.TestDate = date->date().toString(Qt::ISODate).toStdString();
    }
    // An operator left as shown is no change, even one the archive holds with blanks around.
    if (person->text() != Utf8(download.Operator)) {
        fix.Operator = ToUtf8(person->text().trimmed());
    }
    return fix;
}

std::optional<std::string> TQtJobDialogs::AskPassword(QWidget* owner, const QString& location) {
    bool ok = false;
    const QString password = QInputDialog::getText(
        owner, QStringLiteral("Archive password"),
        QStringLiteral("Password for %1\n(kept until the program ends, never saved):")
            .arg(location),
        QLineEdit::Password, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return ToUtf8(password);
}
