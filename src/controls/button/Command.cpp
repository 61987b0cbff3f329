#include "controls/button/Command.h"

#include "platform/Failure.h"
#include "platform/common/PointerShapes.h"

#include <QApplication>
#include <QScreen>

Command::Command(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // MouseMove is raised for every move over the button, pressed or not.
    setMouseTracking(true);
    Timer1.setInterval(mlngAutoUpdTspInterval);
    connect(&Timer1, &QTimer::timeout, this, &Command::Timer1_Timer);
    InitProperties();
}

Command::~Command() = default;

void Command::Changed(const char* PropertyName) {
    emit PropertyChanged(QString::fromLatin1(PropertyName));
}

void Command::setTextAlignment(qint32 New_TextAlignment) {
    mlngTextAlignment = New_TextAlignment;
    Changed("TextAlignment");
    DrawButton();
}

void Command::setPictureAlignment(qint32 New_PictureAlignment) {
    mlngPictureAlignment = New_PictureAlignment;
    Changed("PictureAlignment");
    DrawButton();
}

void Command::setCaption(const QString& New_Caption) {
    mstrCaption = New_Caption;
    Changed("Caption");
    DrawButton();
}

void Command::setPicture(const QPixmap& New_Picture) {
    picBuf.Picture = New_Picture;
    picBuf.Prepared = QImage();
    Changed("Picture");
    DrawButton();
}

void Command::setBackColor(OleColor New_BackColor) {
    drawBuffer.BackColor = New_BackColor;
    picBuf.BackColor = New_BackColor;
    Changed("BackColor");
    DrawButton();
}

void Command::setForeColor(OleColor New_ForeColor) {
    drawBuffer.ForeColor = New_ForeColor;
    Changed("ForeColor");
    DrawButton();
}

void Command::setFont(const QFont& New_Font) {
    drawBuffer.Font = New_Font;
    Changed("Font");
    DrawButton();
}

void Command::setFocusRect(bool New_FocusRect) {
    mblnFocusRect = New_FocusRect;
    Changed("FocusRect");
}

void Command::setGab(qint16 New_Gab) {
    mintGab = New_Gab;
    Changed("Gab");
    DrawButton();
}

bool Command::Enabled() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

void Command::setEnabled(bool New_Enabled) {
    QWidget::setEnabled(New_Enabled);
    Changed("Enabled");
    DrawButton();
}

void Command::setClickEffect(qint32 New_ClickEffect) {
    mintClickEffect = zor::toInt16(New_ClickEffect);
    Changed("ClickEffect");
    DrawButton();
}

void Command::ResetButton() {
    if (mlngDownLook == 1)
        emit Click();
    mblnMouseDown = false;
    mlngDownLook = 0;
    DrawButton();
}

void Command::setButtonType(qint32 New_ButtonType) {
    mintButtonType = zor::toInt16(New_ButtonType);
    Changed("ButtonType");
    DrawButton();
}

quintptr Command::hWnd() const {
    return static_cast<quintptr>(internalWinId());
}

void Command::setDrawAsDisabled(bool New_DrawAsDisabled) {
    mblnDrawAsDisabled = New_DrawAsDisabled;
    Changed("DrawAsDisabled");
    DrawButton();
}

void Command::setExtraData(qint32 New_ExtraData) {
    mlngExtraData = New_ExtraData;
    Changed("ExtraData");
}

void Command::setExtraData2(qint32 New_ExtraData2) {
    mlngExtraData2 = New_ExtraData2;
    Changed("ExtraData2");
}

void Command::setSelected(bool New_Selected) {
    mblnSelected = New_Selected;
    Changed("Selected");
    DrawButton();
}

void Command::ReDraw() {
    DrawButton();
}

void Command::setMousePointer(qint16 New_MousePointer) {
    if (!platform::isPointerCode(New_MousePointer))
        throw zor::Failure(QStringLiteral("invalid property value: mouse pointer %1").arg(New_MousePointer));
    mintMousePointer = New_MousePointer;
    ApplyPointer();
    Changed("MousePointer");
}

void Command::setBevel(bool New_Bevel) {
    mblnBevel = New_Bevel;
    Changed("Bevel");
    DrawButton();
}

void Command::setAutoUpdTsp(bool New_AutoUpdTsp) {
    mblnAutoUpdTsp = New_AutoUpdTsp;
    ApplyTimer();
    Changed("AutoUpdTsp");
}

void Command::setAutoUpdTspInterval(qint32 New_AutoUpdTspInterval) {
    if (New_AutoUpdTspInterval < 0 || New_AutoUpdTspInterval > 65535)
        throw zor::Failure(
            QStringLiteral("invalid property value: timer period %1").arg(New_AutoUpdTspInterval));
    mlngAutoUpdTspInterval = New_AutoUpdTspInterval;
    ApplyTimer();
    Changed("AutoUpdTspInterval");
}

void Command::setVisEnabledState(bool New_VisEnabledState) {
    mblnVisEnabledState = New_VisEnabledState;
    Changed("VisEnabledState");
    DrawButton();
}

void Command::setMouseIcon(const QPixmap& New_MouseIcon) {
    mpicMouseIcon = New_MouseIcon;
    ApplyPointer();
    Changed("MouseIcon");
}

// A period of 0 means "no ticks", as the classic timer has it; a zero-interval QTimer would
// instead fire on every pass of the event loop.
void Command::ApplyTimer() {
    if (mblnAutoUpdTsp && mlngAutoUpdTspInterval > 0)
        Timer1.start(mlngAutoUpdTspInterval);
    else
        Timer1.stop();
}

void Command::ApplyPointer() {
    if (const auto cursor = platform::cursorForPointer(mintMousePointer, mpicMouseIcon))
        setCursor(*cursor);
    else
        unsetCursor();
}

QPointF Command::TwipsPerPixel() const {
    const QScreen* where = screen();
    if (!where)
        return {15.0, 15.0};
    return {1440.0 / where->logicalDotsPerInchX(), 1440.0 / where->logicalDotsPerInchY()};
}

void Command::Timer1_Timer() {
    if (mintButtonType != 3)
        return;
    // Positions are the parent's pixels; a see-through button redraws only when it has moved.
    const QPoint at = pos();
    if (at.x() != mlngLastLeft || at.y() != mlngLastTop) {
        mlngLastLeft = at.x();
        mlngLastTop = at.y();
        DrawButton();
    }
}
