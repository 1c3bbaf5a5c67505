#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The designed fonts: 11-pixel sans-serif for windows and dialogs. The layout was drawn for a
// narrow sans-serif; the first of these that is installed is taken.
inline QFont DesignFont(int pixelSize = 11, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
