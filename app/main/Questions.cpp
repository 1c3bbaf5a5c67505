#include "app/main/Questions.h"

#include "app/common/PlainText.h"

bool TMessageBoxQuestions::AskReplaceWithNothing(QWidget* owner, const QString& text) {
    // No is the default: Enter alone must not empty the tables.
    return AskPlain(owner, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No) == QMessageBox::Yes;
}

IQuestions::TUnsavedAnswer TMessageBoxQuestions::AskUnsavedImport(QWidget* owner,
                                                                  const QString& text) {
    const auto answer =
        AskPlain(owner, QMessageBox::Warning, text,
                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    switch (answer) {
        case QMessageBox::Save:
            return TUnsavedAnswer::Save;
        case QMessageBox::Discard:
            return TUnsavedAnswer::Discard;
        default:
            return TUnsavedAnswer::Cancel;
    }
}
