#pragma once

#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <functional>
#include <vector>

class QFontMetricsF;

// The width of a text in device units.
using TTextAdvance = std::function<double(const QString&)>;

// The text in lines no wider than width: broken after a blank, a hyphen or a slash where it
// can be, else between characters; nothing is ever left out. A text that fits is one line.
std::vector<QString> WrapText(const QString& text, double width, const TTextAdvance& advance);

// Texts laid out as glyphs of one font, so that many of them are measured without the text
// engine and drawn in one run. A text with a character the font lacks is no glyph text: it is
// measured and drawn through QPainter's text path, which falls back to another font.
class TGlyphText {
public:
    TGlyphText(const QRawFont& font, const QFontMetricsF& metrics);

    double Advance(const QString& text);
    // Adds text's glyphs at baseline origin, each at whole device units. False for a text the
    // font cannot show, which is left out.
    bool Append(const QString& text, QPointF origin);

    bool Empty() const { return glyphs_.empty(); }
    // The glyphs appended so far as one run; the text starts afresh.
    QGlyphRun TakeRun();

private:
    bool Lookup(const QString& text);

    QRawFont font_;
    const QFontMetricsF& metrics_;
    std::vector<quint32> lookup_;
    std::vector<QPointF> advances_;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
};
