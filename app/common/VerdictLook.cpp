#include "app/common/VerdictLook.h"

#include <QColor>

#include "data/NumberText.h"

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
    // The digits the reports show (a FAIL's margin never reads 0.00).
    const TVerdictDecimals decimals = VerdictDecimals(verdict);
    const auto line = [&text](const char* caption, const TFigure& figure, int places) {
        if (figure) {
            text += QLatin1String(caption) + QLatin1String(FixedText(*figure, places).c_str()) +
                    QLatin1String(" dB\n");
        }
    };
    line("Loss: ", verdict.Loss, decimals.Loss);
    line("Limit: ", verdict.Limit, decimals.Limit);
    line(verdict.Loss ? "Margin: " : "Margin to the power window: ", verdict.Margin,
         decimals.Margin);
    text += QLatin1String("Verdict: ") + QLatin1String(VerdictText(verdict.Kind));
    if (verdict.Kind == TVerdictKind::Check) {
        text += QLatin1String(" (a gain: take the reference again)");
    }
    return text;
}
