// Creating, loading and saving the button's design values, and the designs of the main
// window's three sound buttons.
#include "controls/button/Command.h"
#include "controls/button/CommandLayout.h"
#include "platform/Failure.h"
#include "platform/common/PointerShapes.h"
#include "util/PropertyBag.h"

#include <QApplication>
#include <QColor>
#include <QImage>

namespace {

// The host's font: what a button shows until it is given one of its own.
QFont AmbientFont(const QWidget* control) {
    const QWidget* host = control->parentWidget();
    return host ? host->font() : QApplication::font();
}

platform::OleColor ColorFromVariant(const QVariant& value) {
    if (value.canConvert<QColor>() && value.metaType() == QMetaType::fromType<QColor>())
        return platform::colorCode(value.value<QColor>());
    return static_cast<platform::OleColor>(value.toLongLong() & 0xFFFFFFFFLL);
}

QPixmap PictureFromVariant(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QImage>())
        return QPixmap::fromImage(value.value<QImage>());
    return value.value<QPixmap>();
}

QVariant PictureToVariant(const QPixmap& picture) {
    return picture.isNull() ? QVariant() : QVariant(picture);
}

QFont FontFromVariant(const QVariant& value, const QFont& fallback) {
    if (value.metaType() == QMetaType::fromType<QFont>())
        return value.value<QFont>();
    QFont font = fallback;
    if (value.metaType() == QMetaType::fromType<QString>() && !font.fromString(value.toString()))
        throw zor::Failure(QStringLiteral("not a font description: %1").arg(value.toString()));
    return font;
}

qint16 Read16(const PropertyBag& bag, const char* key, int defaultValue) {
    return zor::toInt16(bag.ReadProperty(QString::fromLatin1(key), defaultValue).toLongLong());
}

QFont DesignFont(const char* family, double points, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

PropertyBag SoundButtonDesign(const QString& caption, const QFont& font) {
    return PropertyBag{{QStringLiteral("caption"), caption},
                       {QStringLiteral("font"), font},
                       {QStringLiteral("focusrect"), false},
                       {QStringLiteral("autoupdtspinterval"), 50}};
}

// The sound buttons are 360 x 360 twips: 24 pixels on a 96 dpi screen.
Command* CreateSoundButton(QWidget* parent, const char* name, const PropertyBag& design) {
    auto* button = new Command(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->ReadProperties(design);
    const QPointF twips = button->TwipsPerPixel();
    button->resize(RoundHalfEven(360.0 / twips.x()), RoundHalfEven(360.0 / twips.y()));
    return button;
}

} // namespace

void Command::InitProperties() {
    mlngTextAlignment = 1;
    mlngPictureAlignment = 0;
    mstrCaption = objectName().isEmpty() ? QStringLiteral("Command") : objectName();
    mblnFocusRect = true;
    mblnBevel = true;
    mblnVisEnabledState = true;
    mintGab = 5;
    mintClickEffect = 0;
    mintButtonType = 0;
    mlngExtraData2 = 0;
    mlngExtraData = 0;
    mblnDrawAsDisabled = false;
    mblnSelected = false;
    drawBuffer.Font = AmbientFont(this);
}

// A value that does not fit (a 16-bit one out of range, an unknown pointer, a refused timer
// period) fails here and reaches the host; the values before it are already in place.
void Command::ReadProperties(const PropertyBag& PropBag) {
    const auto read = [&](const char* key, const QVariant& defaultValue) {
        return PropBag.ReadProperty(QString::fromLatin1(key), defaultValue);
    };
    mlngTextAlignment = read("TextAlignment", 1).toInt();
    mlngPictureAlignment = read("PictureAlignment", 0).toInt();
    mstrCaption = read("Caption", QString()).toString();
    setPicture(PictureFromVariant(read("Picture", QVariant())));
    drawBuffer.BackColor = ColorFromVariant(read("BackColor", DefaultBackColor));
    drawBuffer.ForeColor = ColorFromVariant(read("ForeColor", DefaultForeColor));
    drawBuffer.Font = FontFromVariant(read("Font", AmbientFont(this)), AmbientFont(this));
    picBuf.BackColor = drawBuffer.BackColor;
    mblnFocusRect = read("FocusRect", true).toBool();
    mintGab = Read16(PropBag, "Gab", 5);
    QWidget::setEnabled(read("Enabled", true).toBool());
    mintClickEffect = Read16(PropBag, "ClickEffect", 0);
    mintButtonType = Read16(PropBag, "ButtonType", 0);
    mblnDrawAsDisabled = read("DrawAsDisabled", false).toBool();
    mlngExtraData = read("ExtraData", 0).toInt();
    mlngExtraData2 = read("ExtraData2", 0).toInt();
    mblnSelected = read("Selected", false).toBool();
    const qint16 pointer = Read16(PropBag, "MousePointer", 0);
    if (!platform::isPointerCode(pointer))
        throw zor::Failure(QStringLiteral("invalid property value: mouse pointer %1").arg(pointer));
    mintMousePointer = pointer;
    ApplyPointer();
    mblnBevel = read("Bevel", true).toBool();
    mblnAutoUpdTsp = read("AutoUpdTsp", false).toBool();
    const qint64 period = read("AutoUpdTspInterval", 10).toLongLong();
    if (period < 0 || period > 65535)
        throw zor::Failure(QStringLiteral("invalid property value: timer period %1").arg(period));
    mlngAutoUpdTspInterval = static_cast<qint32>(period);
    ApplyTimer();
    mblnVisEnabledState = read("VisEnabledState", true).toBool();
    setMouseIcon(PictureFromVariant(read("MouseIcon", QVariant())));
    // A host may load a button that is already sized and shown; no resize would follow to
    // bring its image up to date.
    DrawButton();
}

void Command::WriteProperties(PropertyBag& PropBag) const {
    const auto write = [&](const char* key, const QVariant& value, const QVariant& defaultValue) {
        PropBag.WriteProperty(QString::fromLatin1(key), value, defaultValue);
    };
    write("TextAlignment", mlngTextAlignment, 1);
    write("PictureAlignment", mlngPictureAlignment, 0);
    write("Caption", mstrCaption, QString());
    write("Picture", PictureToVariant(picBuf.Picture), QVariant());
    write("BackColor", drawBuffer.BackColor, DefaultBackColor);
    write("ForeColor", drawBuffer.ForeColor, DefaultForeColor);
    write("Font", drawBuffer.Font, AmbientFont(this));
    write("FocusRect", mblnFocusRect, true);
    write("Gab", mintGab, qint16(5));
    write("Enabled", Enabled(), true);
    write("ClickEffect", mintClickEffect, qint16(0));
    write("ButtonType", mintButtonType, qint16(0));
    write("DrawAsDisabled", mblnDrawAsDisabled, false);
    write("ExtraData", mlngExtraData, 0);
    write("ExtraData2", mlngExtraData2, 0);
    write("Selected", mblnSelected, false);
    write("MousePointer", mintMousePointer, qint16(0));
    write("Bevel", mblnBevel, true);
    write("AutoUpdTsp", mblnAutoUpdTsp, false);
    write("AutoUpdTspInterval", mlngAutoUpdTspInterval, 10);
    write("VisEnabledState", mblnVisEnabledState, true);
    write("MouseIcon", PictureToVariant(mpicMouseIcon), QVariant());
}

PropertyBag Command::SoundFileButtonDesign() {
    return SoundButtonDesign(QStringLiteral("..."), DesignFont("Tahoma", 8.25, false));
}

PropertyBag Command::PlaySoundButtonDesign() {
    return SoundButtonDesign(QStringLiteral("4"), DesignFont("Webdings", 9.75, true));
}

PropertyBag Command::StopSoundButtonDesign() {
    return SoundButtonDesign(QStringLiteral("g"), DesignFont("Webdings", 8.25, true));
}

Command* Command::createSoundFileButton(QWidget* parent) {
    return CreateSoundButton(parent, "cmdSoundFile", SoundFileButtonDesign());
}

Command* Command::createPlaySoundButton(QWidget* parent) {
    return CreateSoundButton(parent, "cmdPlaySound", PlaySoundButtonDesign());
}

Command* Command::createStopSoundButton(QWidget* parent) {
    return CreateSoundButton(parent, "cmdStopSound", StopSoundButtonDesign());
}
