#include "app/common/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace {

std::optional<QString> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

QString StartFolder(const QString& folder) {
    return folder.isEmpty() ? QDir::currentPath() : folder;
}

}  // namespace

void ConfigureSaveDialog(QFileDialog& dialog, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& folder) {
    dialog.setDirectory(StartFolder(folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Without a title of its own the dialog keeps the toolkit's ("Save As"); an empty one
    // would read "Untitled".
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
}

void ConfigureOpenDialog(QFileDialog& dialog, const QString& filter, const QString& folder) {
    dialog.setDirectory(StartFolder(folder));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(filter);
}

TQtFileDialogs::TQtFileDialogs(QString startFolder) : startFolder_(std::move(startFolder)) {}

std::optional<QString> TQtFileDialogs::AskSaveFileName(QWidget* owner, const QString& title,
                                                       const QString& filter,
                                                       const QString& defaultSuffix) {
    QFileDialog dialog(owner);
    ConfigureSaveDialog(dialog, title, filter, defaultSuffix, startFolder_);
    return Run(dialog);
}

std::optional<QString> TQtFileDialogs::AskOpenFileName(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner);
    ConfigureOpenDialog(dialog, filter, startFolder_);
    return Run(dialog);
}
