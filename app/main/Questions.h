#pragma once

#include <QString>
#include <cstddef>
#include <optional>

class QWidget;

// The questions the window asks before measurements are lost. The window owns one; tests put
// in their own to answer without a modal box.
class IQuestions {
public:
    enum class TUnsavedAnswer { Save, Discard, Cancel };

    virtual ~IQuestions() = default;

    // Yes/No: the tables' measurements would give way to an empty set. True for Yes.
    virtual bool AskReplaceWithNothing(QWidget* owner, const QString& text) = 0;
    // Save / Discard / Cancel for an import neither saved nor exported.
    virtual TUnsavedAnswer AskUnsavedImport(QWidget* owner, const QString& text) = 0;
    // Yes/No: an import under way would end (a refresh of the ports, another port). True for
    // Yes.
    virtual bool AskEndImport(QWidget* owner, const QString& text) = 0;
};

// The question before an import under way ends: the records read so far and, when known, about
// how many the meter holds ("End the import? 2,100 of about 3,000 records are read.").
QString EndImportQuestion(std::size_t read, std::optional<std::size_t> total);

// Message boxes titled with the application title.
class TMessageBoxQuestions : public IQuestions {
public:
    bool AskReplaceWithNothing(QWidget* owner, const QString& text) override;
    TUnsavedAnswer AskUnsavedImport(QWidget* owner, const QString& text) override;
    bool AskEndImport(QWidget* owner, const QString& text) override;
};
