#pragma once

#include <QFont>

// The designed fonts: 11-pixel sans-serif for windows and dialogs.
inline QFont DesignFont(int pixelSize = 11, bool bold = false) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
