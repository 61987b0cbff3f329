#include "ClippedCaptionTip.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

void ClippedCaptionTip::watch(QWidget* control) {
    control->installEventFilter(this);
}

bool ClippedCaptionTip::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::ToolTip || !control || !control->toolTip().isEmpty())
        return false;
    const auto* help = static_cast<QHelpEvent*>(event);
    QString caption;
    bool cut = control->width() < control->sizeHint().width();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        caption = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        caption = label->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        // A frame's own area is mostly its controls, which may be what is cut: only its title
        // line tells its caption, and only when the title itself is cut.
        caption = frame->title();
        cut = help->pos().y() < frame->contentsRect().top() &&
              frame->fontMetrics().horizontalAdvance(caption) > frame->contentsRect().width();
    }
    if (!cut || caption.isEmpty())
        return false;
    QToolTip::showText(help->globalPos(), caption, control);
    return true;
}
