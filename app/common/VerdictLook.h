#pragma once

#include <QString>
#include <QVariant>

#include "verdict/Verdict.h"

// How a verdict looks in the window's tables: the row's pale background (invalid for none)
// and the figures a tooltip lists.
QVariant VerdictBackground(TVerdictKind kind);
QString VerdictToolTip(const TVerdict& verdict);
