#include "report/ReportText.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace {

bool BreaksAfter(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char('/') ||
           c == QLatin1Char('_');
}

// A line as it is shown: the blanks where it was broken are not part of it.
QString LineAt(const QString& text, qsizetype start, qsizetype end) {
    while (end > start + 1 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

}  // namespace

std::vector<QString> WrapText(const QString& text, double width, const TTextAdvance& advance) {
    if (text.isEmpty() || advance(text) <= width)
        return {text};
    std::vector<QString> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        // The longest run from start that fits, and the last place in it to break after.
        qsizetype fitEnd = start + 1;  // at least one character, however narrow the room
        qsizetype lastBreak = -1;
        for (qsizetype end = start + 1; end <= text.size(); ++end) {
            if (end > start + 1 && advance(LineAt(text, start, end)) > width)
                break;
            fitEnd = end;
            if (BreaksAfter(text[end - 1]))
                lastBreak = end;
        }
        const qsizetype cut = fitEnd == text.size() || lastBreak <= start ? fitEnd : lastBreak;
        lines.push_back(LineAt(text, start, cut));
        start = cut;
        // A blank at the start of a line would only push its text right.
        while (start < text.size() && text[start] == QLatin1Char(' '))
            ++start;
    }
    return lines;
}

TGlyphText::TGlyphText(const QRawFont& font, const QFontMetricsF& metrics)
    : font_(font), metrics_(metrics) {}

bool TGlyphText::Lookup(const QString& text) {
    int count = static_cast<int>(text.size());
    lookup_.resize(static_cast<std::size_t>(count));
    if (!font_.glyphIndexesForChars(text.constData(), count, lookup_.data(), &count))
        return false;
    lookup_.resize(static_cast<std::size_t>(count));
    if (std::find(lookup_.begin(), lookup_.end(), 0u) != lookup_.end())
        return false;
    advances_.resize(lookup_.size());
    return font_.advancesForGlyphIndexes(lookup_.data(), advances_.data(), count,
                                         QRawFont::UseDesignMetrics);
}

double TGlyphText::Advance(const QString& text) {
    if (!Lookup(text))
        return metrics_.horizontalAdvance(text);
    double width = 0;
    for (const QPointF& advance : advances_)
        width += advance.x();
    return width;
}

bool TGlyphText::Append(const QString& text, QPointF origin) {
    if (!Lookup(text))
        return false;
    // Whole units keep the drawing's numbers short; the error never adds up past half a unit.
    const double y = std::round(origin.y());
    double x = origin.x();
    for (std::size_t i = 0; i < lookup_.size(); ++i) {
        glyphs_.push_back(lookup_[i]);
        positions_.push_back(QPointF(std::round(x), y));
        x += advances_[i].x();
    }
    return true;
}

QGlyphRun TGlyphText::TakeRun() {
    QGlyphRun run;
    run.setRawFont(font_);
    run.setGlyphIndexes(glyphs_);
    run.setPositions(positions_);
    glyphs_.clear();
    positions_.clear();
    return run;
}
