#include "app/main/Questions.h"

#include "app/common/Latin1.h"
#include "app/common/PlainText.h"
#include "data/CountText.h"

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

bool TMessageBoxQuestions::AskEndImport(QWidget* owner, const QString& text) {
    // No is the default: the import goes on unless the user says otherwise.
    return AskPlain(owner, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No) == QMessageBox::Yes;
}

QString EndImportQuestion(std::size_t read, std::optional<std::size_t> total) {
    const QString verb = QLatin1String(read == 1 ? " is read" : " are read");
    // A total below what has come already is no estimate.
    if (!total || *total < read) {
        return QStringLiteral("End the import? ") + FromBytes(Counted(read, "record", "records")) +
               verb + QStringLiteral(" so far; the meter goes on sending for a while.");
    }
    return QStringLiteral("End the import? ") + FromBytes(GroupedCount(read)) +
           QStringLiteral(" of about ") + FromBytes(Counted(*total, "record", "records")) + verb +
           QStringLiteral("; the meter goes on sending for a while.");
}
