// Mouse, keyboard, focus: when the button looks pressed and which events it raises.
#include "controls/button/Command.h"
#include "platform/common/VirtualKeys.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

constexpr qint16 LeftButton = 1;

bool IsActivationKey(qint16 KeyCode) {
    return KeyCode == 13 || KeyCode == 32;
}

} // namespace

QPointF Command::Twips(const QPointF& pixels) const {
    const QPointF factor = TwipsPerPixel();
    return {pixels.x() * factor.x(), pixels.y() * factor.y()};
}

// Strictly inside: the leftmost column and the top row count as outside.
bool Command::IsInside(const QPointF& pixels) const {
    return pixels.x() > 0 && pixels.x() < width() && pixels.y() > 0 && pixels.y() < height();
}

void Command::mousePressEvent(QMouseEvent* event) {
    qint16 Button = static_cast<qint16>(platform::mouseButtonBits(event->button()));
    qint16 Shift = static_cast<qint16>(platform::modifierBits(event->modifiers()));
    const QPointF at = Twips(event->position());
    float X = static_cast<float>(at.x());
    float Y = static_cast<float>(at.y());
    bool CancelDownEffect = false;
    emit MouseDown(Button, Shift, X, Y, CancelDownEffect);
    if (CancelDownEffect)
        return;
    mblnOutside = false;
    if (Button == LeftButton) {
        mblnLastDownLeft = true;
        mblnMouseDown = true;
        mlngDownLook = 1;
        DrawButton();
    } else {
        mblnLastDownLeft = false;
    }
}

void Command::mouseMoveEvent(QMouseEvent* event) {
    qint16 Button = static_cast<qint16>(platform::mouseButtonBits(event->buttons()));
    qint16 Shift = static_cast<qint16>(platform::modifierBits(event->modifiers()));
    if (mblnMouseDown) {
        // Only the left button alone keeps the press alive.
        if (IsInside(event->position()) && Button == LeftButton) {
            mblnOutside = false;
            mlngDownLook = 1;
        } else {
            mblnOutside = true;
            mlngDownLook = 0;
        }
        DrawButton();
    }
    const QPointF at = Twips(event->position());
    float X = static_cast<float>(at.x());
    float Y = static_cast<float>(at.y());
    emit MouseMove(Button, Shift, X, Y);
}

void Command::mouseReleaseEvent(QMouseEvent* event) {
    qint16 Button = static_cast<qint16>(platform::mouseButtonBits(event->button()));
    qint16 Shift = static_cast<qint16>(platform::modifierBits(event->modifiers()));
    if (Button == LeftButton) {
        mblnMouseDown = false;
        mlngDownLook = 0;
        DrawButton();
    }
    if (mblnOutside)
        return;
    if (Button == LeftButton)
        emit Click();
    const QPointF at = Twips(event->position());
    float X = static_cast<float>(at.x());
    float Y = static_cast<float>(at.y());
    emit MouseUp(Button, Shift, X, Y);
}

// Qt delivers the second press of a double click as this event alone (no press before it).
void Command::mouseDoubleClickEvent(QMouseEvent*) {
    if (mblnLastDownLeft) {
        // Drawn pressed without a press in progress: the release that follows gives the Click.
        mblnOutside = false;
        mlngDownLook = 1;
        DrawButton();
    } else {
        emit DblClick();
    }
}

void Command::keyPressEvent(QKeyEvent* event) {
    qint16 KeyCode = static_cast<qint16>(platform::virtualKeyCode(*event));
    qint16 Shift = static_cast<qint16>(platform::modifierBits(event->modifiers()));
    const bool activation = IsActivationKey(KeyCode);
    if (!mblnMouseDown && activation) {
        mlngDownLook = 1;
        DrawButton();
    }
    emit KeyDown(KeyCode, Shift);
    if (!event->text().isEmpty()) {
        qint16 KeyAscii = static_cast<qint16>(event->text().at(0).unicode());
        emit KeyPress(KeyAscii);
    }
    event->setAccepted(activation);
}

void Command::keyReleaseEvent(QKeyEvent* event) {
    // X11 repeats a held key as release and press pairs; the key is still down, so only the
    // repeated press counts, as on desktops that repeat presses alone.
    if (event->isAutoRepeat())
        return;
    qint16 KeyCode = static_cast<qint16>(platform::virtualKeyCode(*event));
    qint16 Shift = static_cast<qint16>(platform::modifierBits(event->modifiers()));
    const bool activation = IsActivationKey(KeyCode);
    if (!mblnMouseDown && activation) {
        mlngDownLook = 0;
        DrawButton();
    }
    emit KeyUp(KeyCode, Shift);
    event->setAccepted(activation);
}

void Command::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    DrawButton();
}

void Command::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    DrawButton();
}
