#pragma once

#include <QMessageBox>
#include <QString>

// Texts that quote a meter, a file or a cable are data: shown as they are, never as markup.

// A tooltip that shows text as it is (a tooltip takes anything that looks like markup as
// markup): long lines wrapped when wrap, else every blank kept.
QString PlainToolTip(const QString& text, bool wrap);

// A message box titled with the application title that shows text as it is; the button the
// user chose.
QMessageBox::StandardButton AskPlain(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton);
