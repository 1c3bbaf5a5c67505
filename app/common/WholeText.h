#pragma once

class QLineEdit;

// A field wide enough for its placeholder, so that the hint is read whole at any size the
// dialog is given (the dialog's layout may make it wider, never narrower).
void FitPlaceholder(QLineEdit* field);

// Whether the field, as it is laid out now, shows its placeholder whole.
bool ShowsPlaceholderWhole(const QLineEdit& field);
