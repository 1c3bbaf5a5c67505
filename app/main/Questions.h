#pragma once

#include <QString>

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
};

// Message boxes titled with the application title.
class TMessageBoxQuestions : public IQuestions {
public:
    bool AskReplaceWithNothing(QWidget* owner, const QString& text) override;
    TUnsavedAnswer AskUnsavedImport(QWidget* owner, const QString& text) override;
};
