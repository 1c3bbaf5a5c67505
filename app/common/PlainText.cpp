#include "app/common/PlainText.h"

#include <QTextDocument>

#include "app/common/MeridaxApplication.h"

QString PlainToolTip(const QString& text, bool wrap) {
    if (text.isEmpty()) {
        return text;
    }
    // Pre keeps every blank (a meter's name is spaced with runs of them) and so never wraps.
    return Qt::convertFromPlainText(text, wrap ? Qt::WhiteSpaceNormal : Qt::WhiteSpacePre);
}

QMessageBox::StandardButton AskPlain(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QString::fromLatin1(TMeridaxApplication::Title), text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
