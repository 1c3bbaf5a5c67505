#include "app/common/VerdictLook.h"

#include <QColor>

namespace {

// Pale enough that the texts and the selection stay as readable as on white.
const QColor PassBackground(0xd9, 0xf2, 0xd9);
const QColor FailBackground(0xf8, 0xd4, 0xd4);
const QColor CheckBackground(0xfc, 0xe6, 0xb0);

}  // namespace

QVariant VerdictBackground(TVerdictKind kind) {
    switch (kind) {
        case TVerdictKind::Pass:
            return PassBackground;
        case TVerdictKind::Fail:
            return FailBackground;
        case TVerdictKind::Check:
            return CheckBackground;
        case TVerdictKind::None:
            break;
    }
    return {};
}

// Built only when a tooltip is asked for, never while rows are painted.
QString VerdictToolTip(const TVerdict& verdict) {
    QString text;
    const auto line = [&text](const char* caption, const std::optional<double>& figure) {
        if (figure) {
            text += QLatin1String(caption) + QLatin1String(TwoDecimals(*figure).c_str()) +
                    QLatin1String(" dB\n");
        }
    };
    line("Loss: ", verdict.Loss);
    line("Limit: ", verdict.Limit);
    if (verdict.Margin) {
        // As many decimals as the margin's sign needs, so that a FAIL never reads 0.00.
        text += QLatin1String(verdict.Loss ? "Margin: " : "Margin to the power window: ") +
                QLatin1String(MarginText(*verdict.Margin).c_str()) + QLatin1String(" dB\n");
    }
    text += QLatin1String("Verdict: ") + QLatin1String(VerdictText(verdict.Kind));
    if (verdict.Kind == TVerdictKind::Check) {
        text += QLatin1String(" (a gain: take the reference again)");
    }
    return text;
}
