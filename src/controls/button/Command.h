#pragma once

#include "platform/common/SystemColors.h"

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <array>

class PropertyBag;

// A push button that draws everything itself: caption, picture or built-in glyph, a classic
// three-dimensional edge, focus rectangle, selection marker and an embossed disabled look.
// Hosts place it, load its design values from a PropertyBag and react to its events.
//
// Events are signals whose arguments are references: a handler connected directly may change
// them, and the button reads them again (CancelDownEffect in MouseDown suppresses the pressed
// look). Mouse coordinates in events are twips.
class Command : public QWidget {
    Q_OBJECT

public:
    using OleColor = platform::OleColor;

    static constexpr OleColor DefaultBackColor = 0x8000000Fu; // system colour: button face
    static constexpr OleColor DefaultForeColor = 0x80000012u; // system colour: button text

    explicit Command(QWidget* parent = nullptr);
    ~Command() override;

    // The host's notifications: a newly placed instance, loading and saving its design values.
    void InitProperties();
    void ReadProperties(const PropertyBag& PropBag);
    void WriteProperties(PropertyBag& PropBag) const;

    // The main window's three sound buttons: their stored design values, and instances loaded
    // from them and sized as designed.
    static PropertyBag SoundFileButtonDesign();
    static PropertyBag PlaySoundButtonDesign();
    static PropertyBag StopSoundButtonDesign();
    static Command* createSoundFileButton(QWidget* parent);
    static Command* createPlaySoundButton(QWidget* parent);
    static Command* createStopSoundButton(QWidget* parent);

    // 0 left, 1 centred, 2 right (one line, centred vertically); anything else draws from the
    // top-left corner with line breaks honoured.
    qint32 TextAlignment() const { return mlngTextAlignment; }
    void setTextAlignment(qint32 New_TextAlignment);
    // 0 picture left, 1 picture right, 2 picture centred with the caption right of it; anything
    // else draws no picture.
    qint32 PictureAlignment() const { return mlngPictureAlignment; }
    void setPictureAlignment(qint32 New_PictureAlignment);
    QString Caption() const { return mstrCaption; }
    void setCaption(const QString& New_Caption);
    QPixmap Picture() const { return picBuf.Picture; }
    void setPicture(const QPixmap& New_Picture);
    OleColor BackColor() const { return drawBuffer.BackColor; }
    void setBackColor(OleColor New_BackColor);
    OleColor ForeColor() const { return drawBuffer.ForeColor; }
    void setForeColor(OleColor New_ForeColor);
    QFont Font() const { return drawBuffer.Font; }
    void setFont(const QFont& New_Font);
    bool FocusRect() const { return mblnFocusRect; }
    void setFocusRect(bool New_FocusRect);
    qint16 Gab() const { return mintGab; }
    void setGab(qint16 New_Gab);
    // The button's own enabled state (a disabled parent does not change it).
    bool Enabled() const;
    void setEnabled(bool New_Enabled);
    // Stored in 16 bits: a value outside them fails with zor::Failure and keeps the old one.
    qint32 ClickEffect() const { return mintClickEffect; }
    void setClickEffect(qint32 New_ClickEffect);
    void ResetButton();
    // 0 normal, 1 cross glyph, 2 check glyph, 3 see-through; anything else draws no picture.
    // Stored in 16 bits like ClickEffect.
    qint32 ButtonType() const { return mintButtonType; }
    void setButtonType(qint32 New_ButtonType);
    // The native window of the button; 0 while it shares its top-level window's.
    quintptr hWnd() const;
    bool DrawAsDisabled() const { return mblnDrawAsDisabled; }
    void setDrawAsDisabled(bool New_DrawAsDisabled);
    qint32 ExtraData() const { return mlngExtraData; }
    void setExtraData(qint32 New_ExtraData);
    qint32 ExtraData2() const { return mlngExtraData2; }
    void setExtraData2(qint32 New_ExtraData2);
    bool Selected() const { return mblnSelected; }
    void setSelected(bool New_Selected);
    void ReDraw();
    // A classic pointer number (see platform/common/PointerShapes.h); an unknown one fails.
    qint16 MousePointer() const { return mintMousePointer; }
    void setMousePointer(qint16 New_MousePointer);
    bool Bevel() const { return mblnBevel; }
    void setBevel(bool New_Bevel);
    bool AutoUpdTsp() const { return mblnAutoUpdTsp; }
    void setAutoUpdTsp(bool New_AutoUpdTsp);
    // 0 to 65535 ms; 0 keeps the timer quiet. Anything else fails with zor::Failure.
    qint32 AutoUpdTspInterval() const { return mlngAutoUpdTspInterval; }
    void setAutoUpdTspInterval(qint32 New_AutoUpdTspInterval);
    bool VisEnabledState() const { return mblnVisEnabledState; }
    void setVisEnabledState(bool New_VisEnabledState);
    QPixmap MouseIcon() const { return mpicMouseIcon; }
    void setMouseIcon(const QPixmap& New_MouseIcon);

    // Twips per pixel of the screen the button is on, horizontally and vertically.
    QPointF TwipsPerPixel() const;

signals:
    void MouseMove(qint16& Button, qint16& Shift, float& X, float& Y);
    void MouseDown(qint16& Button, qint16& Shift, float& X, float& Y, bool& CancelDownEffect);
    void MouseUp(qint16& Button, qint16& Shift, float& X, float& Y);
    void KeyDown(qint16& KeyCode, qint16& Shift);
    void KeyUp(qint16& KeyCode, qint16& Shift);
    void KeyPress(qint16& KeyAscii);
    void Click();
    void DblClick();
    // Every setter reports the persistence key of the property it changed.
    void PropertyChanged(const QString& PropertyName);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The off-screen surface each image is composed in, with the colours and font that draw
    // into it.
    struct DrawSurface {
        QImage Image;
        OleColor BackColor = DefaultBackColor;
        OleColor ForeColor = DefaultForeColor;
        QFont Font;
    };
    // A picture and its background; the background colour is the colour left out when the
    // picture is transferred, so the picture's own transparent parts stay see-through.
    struct PictureHolder {
        QPixmap Picture;
        OleColor BackColor = DefaultBackColor;
        QImage Prepared; // the picture on its background, rebuilt only when either changes
        QRgb PreparedFor = 0;
    };
    struct ShapeOutline {
        QRect Geometry;
        bool Visible = false;
    };

    void Changed(const char* PropertyName);
    void DrawButton();
    void UserControl_Resize();
    void Timer1_Timer();
    void ApplyTimer();
    void ApplyPointer();
    // The picture holder DrawButton uses, prepared on its background; null for none.
    const QImage* PictureSource(QRgb& transparent);
    const QImage& Glyph(int index, QRgb face);
    void DrawCaption(QImage& target, const QRect& rect, int flags, const QColor& color);
    QPointF Twips(const QPointF& pixels) const;
    bool IsInside(const QPointF& pixels) const;

    DrawSurface drawBuffer;
    PictureHolder picBuf;
    std::array<QImage, 4> picButtons;
    std::array<QRgb, 4> mlngGlyphFace{};
    ShapeOutline selShape;
    QTimer Timer1;
    // The control's own surface: the widget only ever paints this kept image.
    QImage mimgSurface;

    qint16 mintButtonType = 0;
    qint16 mintClickEffect = 0;
    bool mblnFocusRect = true;
    qint16 mintGab = 5;
    QString mstrCaption;
    bool mblnLastDownLeft = false;
    bool mblnMouseDown = false;
    qint32 mlngTextAlignment = 1;
    qint32 mlngPictureAlignment = 0;
    bool mblnOutside = false;
    qint32 mlngDownLook = 0;
    bool mblnVisEnabledState = true;
    bool mblnBevel = true;
    bool mblnSelected = false;
    qint32 mlngExtraData2 = 0;
    qint32 mlngExtraData = 0;
    bool mblnDrawAsDisabled = false;
    qint16 mintMousePointer = 0;
    QPixmap mpicMouseIcon;
    bool mblnAutoUpdTsp = false;
    qint32 mlngAutoUpdTspInterval = 50;
    qint32 mlngRedrawDepth = 0;
    qint32 mlngLastLeft = 0;
    qint32 mlngLastTop = 0;
};
