#include "report/ReportStyle.h"

#include <QPaintDevice>

namespace {

QFont MakeFont(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // Glyph advances as designed, not snapped to the device's units.
    font.setHintingPreference(QFont::PreferNoHinting);
    // Latin text needs no shaping: no ligatures that text extraction would turn into other
    // characters ("fi"), and drawing many cells costs less.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

std::array<QFont, 9> MakeFonts() {
    return {MakeFont(18, true), MakeFont(11, true),   MakeFont(9, false),
            MakeFont(9, true),  MakeFont(8, false),   MakeFont(8, true),
            MakeFont(7, false), MakeFont(5.5, false), MakeFont(30, true)};
}

}  // namespace

TReportStyle::TReportStyle(const QPaintDevice* device)
    : fonts_(MakeFonts()), metrics_{QFontMetricsF(fonts_[0], device),
                                    QFontMetricsF(fonts_[1], device),
                                    QFontMetricsF(fonts_[2], device),
                                    QFontMetricsF(fonts_[3], device),
                                    QFontMetricsF(fonts_[4], device),
                                    QFontMetricsF(fonts_[5], device),
                                    QFontMetricsF(fonts_[6], device),
                                    QFontMetricsF(fonts_[7], device),
                                    QFontMetricsF(fonts_[8], device)} {
    for (std::size_t i = 0; i < RoleCount; ++i)
        rawFonts_[i] = QRawFont::fromFont(QFont(fonts_[i], device));
}

QColor VerdictColor(TVerdictKind kind) {
    switch (kind) {
        case TVerdictKind::Pass:
            return {0x2e, 0x7d, 0x32};
        case TVerdictKind::Fail:
            return {0xd3, 0x1f, 0x1f};
        case TVerdictKind::Check:
            return {0xf0, 0x9a, 0x00};
        case TVerdictKind::None:
            break;
    }
    return {0x90, 0x90, 0x90};
}

QColor VerdictRowColor(TVerdictKind kind) {
    switch (kind) {
        case TVerdictKind::Fail:
            return {0xfd, 0xe4, 0xe4};
        case TVerdictKind::Check:
            return {0xff, 0xf1, 0xd0};
        default:
            break;
    }
    return Qt::transparent;
}
