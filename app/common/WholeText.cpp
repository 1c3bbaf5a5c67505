#include "app/common/WholeText.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// QLineEdit keeps this many pixels free on each side of its text, inside its text margins.
constexpr int LineEditTextMargin = 2;

int PlaceholderRoom(const QLineEdit& field) {
    const QMargins margins = field.textMargins();
    return field.fontMetrics().horizontalAdvance(field.placeholderText()) + margins.left() +
           margins.right() + 2 * LineEditTextMargin + 1;  // and the cursor's pixel
}

// The style's description of the field's frame, as QLineEdit gives it to the style.
QStyleOptionFrame FrameOption(const QLineEdit& field) {
    QStyleOptionFrame option;
    option.initFrom(&field);
    option.lineWidth =
        field.hasFrame() ? field.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &field)
                         : 0;
    return option;
}

}  // namespace

void FitPlaceholder(QLineEdit* field) {
    const QStyleOptionFrame option = FrameOption(*field);
    const QSize needed = field->style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(PlaceholderRoom(*field), field->sizeHint().height()),
        field);
    field->setMinimumWidth(needed.width());
}

bool ShowsPlaceholderWhole(const QLineEdit& field) {
    const QStyleOptionFrame option = FrameOption(field);
    const QRect text = field.style()->subElementRect(QStyle::SE_LineEditContents, &option, &field);
    return text.width() >= PlaceholderRoom(field);
}
