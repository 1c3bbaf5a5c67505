#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/common/FileDialogs.h"
#include "app/main/Questions.h"
#include "app/main/frmAbout.h"
#include "app/main/frmExportSettings.h"
#include "app/main/frmMain.h"
#include "app/main/frmSerialPortSettings.h"
#include "data/uMeranie.h"
#include "support/FileBytes.h"
#include "support/Patience.h"
#include "support/TempFolder.h"

class QTimer;
class QWidget;

// File dialogs that answer from a queue; nullopt stands for Cancel.
class TFakeFileDialogs : public IFileDialogs {
public:
    struct TAsked {
        bool Save = false;
        QString Title;
        QString Filter;
        QString DefaultSuffix;
    };

    std::deque<std::optional<QString>> Answers;
    std::vector<TAsked> Asked;

    std::optional<QString> AskSaveFileName(QWidget* owner, const QString& title,
                                           const QString& filter,
                                           const QString& defaultSuffix) override;
    std::optional<QString> AskOpenFileName(QWidget* owner, const QString& filter) override;

private:
    std::optional<QString> Next();
};

// Questions answered from queues; a question nobody expected fails the test and is answered
// No or Cancel.
class TFakeQuestions : public IQuestions {
public:
    std::deque<bool> ReplaceAnswers;
    std::deque<TUnsavedAnswer> UnsavedAnswers;
    std::deque<bool> EndImportAnswers;
    std::vector<QString> Asked;

    bool AskReplaceWithNothing(QWidget* owner, const QString& text) override;
    TUnsavedAnswer AskUnsavedImport(QWidget* owner, const QString& text) override;
    bool AskEndImport(QWidget* owner, const QString& text) override;
};

TMeranie Absolute(std::string cable, std::string fiber, double waveLength, double value);
TMeranie Relative(std::string cable, std::string fiber, double waveLength, double value,
                  double reference);

// The pale row background of a verdict; invalid for none.
QColor VerdictBackgroundColour(TVerdictKind kind);

// The text pdftotext -layout extracts from the PDF at path, every run of blanks made one so
// that a table's row reads as words; a failing run fails the test and gives nothing.
std::string PdfText(const std::string& path);

// Every label, check box and radio button under root shows its whole text: its size holds
// its size hint and it lies inside its parent's contents (a frame's border included). Every
// button is at least as wide as its text and a picture beside it.
void ExpectTextsFit(const QWidget* root);

// Acts on the next modal dialog as soon as it is shown (made before the command that shows
// it); stops watching when destroyed.
class TModalWatch {
public:
    explicit TModalWatch(std::function<void(QWidget* dialog)> act);
    ~TModalWatch();
    TModalWatch(const TModalWatch&) = delete;
    TModalWatch& operator=(const TModalWatch&) = delete;

    bool Seen() const { return seen_; }

private:
    std::function<void(QWidget* dialog)> act_;
    std::unique_ptr<QTimer> timer_;
    bool seen_ = false;
};

// The main window with its dialogs, in a fresh working directory, with the error messages,
// the clipboard and the connect's waits recorded instead of shown, put or slept.
class TWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window (runs FormCreate, which reads settings.ini).
    void CreateWindow(TfrmMainOptions options = {});
    // Destroys the window and its dialogs (as the program's end does), so that another can
    // be created.
    void DestroyWindow();
    void ShowAndActivate();
    void LoadRecords(const TMeraniaArray& records);
    void ShowPage(TTablePage page);
    // Ticks a row the way the user does, through the view's model.
    void Tick(TTablePage page, int row, bool checked = true);
    bool IsTicked(TTablePage page, int row);
    QString Cell(TTablePage page, int row, int column);
    QString HeaderCaption(TTablePage page, int column);
    int Rows(TTablePage page);

    std::unique_ptr<TTempWorkingDir> dir_;
    std::vector<std::string> errors_;
    std::vector<int> waits_;
    std::vector<QString> clipboard_;
    bool clipboardWorks_ = true;
    bool useSystemClipboard_ = false;
    std::vector<std::string> ports_{"/dev/ttyS0", "/dev/ttyUSB0"};
    std::shared_ptr<TFakeFileDialogs> fileDialogs_;
    std::shared_ptr<TFakeQuestions> questions_;
    std::unique_ptr<TfrmMain> frm_;
    std::unique_ptr<TfrmAbout> about_;
    std::unique_ptr<TfrmSerialPortSettings> serialSettings_;
    std::unique_ptr<TfrmExportSettings> exportSettings_;
};
