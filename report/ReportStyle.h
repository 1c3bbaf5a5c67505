#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>
#include <QString>
#include <array>

#include "verdict/Verdict.h"

class QPaintDevice;

// The report is laid out in points; the writer works at ten units a point, so that fonts are
// sized and measured finely (their metrics at a 72 dpi device would be rounded to whole points).
inline constexpr int ReportResolution = 720;
constexpr double Pt(double points) {
    return points * ReportResolution / 72.0;
}

// A4 portrait in points and the margins around what the pages hold.
inline constexpr double PageWidthPt = 595.28;
inline constexpr double PageHeightPt = 841.89;
inline constexpr double MarginPt = 40;
inline constexpr double FooterPt = 30;  // below the content, for the footer line
inline constexpr double ContentWidthPt = PageWidthPt - 2 * MarginPt;

// Large: the overall result on a job report's cover.
enum class TFontRole { Title, Heading, Body, BodyBold, Table, TableBold, Small, Tiny, Large };

// The fonts and their metrics, made once per report for the writer's device: measuring with a
// font made per text would cost more than the drawing.
class TReportStyle {
public:
    explicit TReportStyle(const QPaintDevice* device);

    const QFont& Font(TFontRole role) const { return fonts_[Index(role)]; }
    const QFontMetricsF& Metrics(TFontRole role) const { return metrics_[Index(role)]; }
    // The font at the device's resolution, for texts laid out as glyphs (TGlyphText).
    const QRawFont& RawFont(TFontRole role) const { return rawFonts_[Index(role)]; }
    // A line of the font with a little air, in device units.
    double LineHeight(TFontRole role) const { return Metrics(role).height() + Pt(2); }

private:
    static constexpr std::size_t RoleCount = 9;
    static std::size_t Index(TFontRole role) { return static_cast<std::size_t>(role); }

    std::array<QFont, RoleCount> fonts_;
    std::array<QFontMetricsF, RoleCount> metrics_;
    std::array<QRawFont, RoleCount> rawFonts_;
};

// The verdicts' colours: strong for texts and bars, pale for the rows of the table.
QColor VerdictColor(TVerdictKind kind);
QColor VerdictRowColor(TVerdictKind kind);

// A table text (8-bit, Latin-1) and a UTF-8 text as Qt strings.
inline QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
