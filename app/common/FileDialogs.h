#pragma once

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

// How the window asks for a file name. The window owns one; tests put in their own to choose
// files without a modal dialog.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;

    // A save dialog: filter like "Excel (*.xls)", defaultSuffix appended to a name typed
    // without one, no question before replacing. nullopt when cancelled.
    virtual std::optional<QString> AskSaveFileName(QWidget* owner, const QString& title,
                                                   const QString& filter,
                                                   const QString& defaultSuffix) = 0;
    // An open dialog accepting existing files only. nullopt when cancelled.
    virtual std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) = 0;
};

// The toolkit's file dialogs, starting in startFolder (empty: the process's current
// directory at the moment).
class TQtFileDialogs : public IFileDialogs {
public:
    explicit TQtFileDialogs(QString startFolder = {});

    std::optional<QString> AskSaveFileName(QWidget* owner, const QString& title,
                                           const QString& filter,
                                           const QString& defaultSuffix) override;
    std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) override;

private:
    QString startFolder_;
};

// The settings both dialogs are made with (kept apart so they can be checked); an empty
// folder is the current directory.
void ConfigureSaveDialog(QFileDialog& dialog, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& folder = {});
void ConfigureOpenDialog(QFileDialog& dialog, const QString& filter, const QString& folder = {});
