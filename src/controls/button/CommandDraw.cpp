// Drawing: every image is composed off-screen and reaches the kept image in one copy; only the
// edge, the focus rectangle and the selection marker are drawn onto the kept image after it.
#include "controls/button/Command.h"
#include "controls/button/CommandGlyphs.h"
#include "controls/button/CommandLayout.h"
#include "platform/Failure.h"
#include "platform/common/EdgePainter.h"
#include "platform/common/SymbolFonts.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// Caption placement by TextAlignment: one line centred vertically, or from the top-left with
// line breaks honoured. '&' marks a mnemonic, "&&" is a literal ampersand.
int CaptionFlags(qint32 TextAlignment) {
    switch (TextAlignment) {
    case 0:
        return Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignLeft;
    case 1:
        return Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignHCenter;
    case 2:
        return Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignRight;
    default:
        return Qt::AlignTop | Qt::AlignLeft;
    }
}

QRect ToQRect(const CaptionRect& r) {
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

void DrawOutline(QImage& image, const QRect& r, QRgb color) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const QRect inside = r.intersected(image.rect());
    for (int x = inside.left(); x <= inside.right(); ++x) {
        if (r.top() == inside.top())
            image.setPixel(x, r.top(), color);
        if (r.bottom() == inside.bottom())
            image.setPixel(x, r.bottom(), color);
    }
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        if (r.left() == inside.left())
            image.setPixel(r.left(), y, color);
        if (r.right() == inside.right())
            image.setPixel(r.right(), y, color);
    }
}

} // namespace

const QImage& Command::Glyph(int index, QRgb face) {
    const auto slot = static_cast<std::size_t>(index);
    if (picButtons[slot].isNull() || mlngGlyphFace[slot] != face) {
        picButtons[slot] = DrawGlyph(static_cast<CommandGlyph>(index), QColor::fromRgb(face));
        mlngGlyphFace[slot] = face;
    }
    return picButtons[slot];
}

const QImage* Command::PictureSource(QRgb& transparent) {
    const QRgb face = platform::systemColor(platform::ButtonFaceIndex, palette()).rgb();
    const bool large = height() >= 36;
    switch (mintButtonType) {
    case 0:
    case 3: {
        if (picBuf.Picture.isNull())
            return nullptr;
        transparent = platform::resolveColor(picBuf.BackColor, palette()).rgb();
        if (picBuf.Prepared.isNull() || picBuf.PreparedFor != transparent) {
            // The holder shows the picture on its background, so the picture's own transparent
            // parts become the background colour and drop out of the transfer.
            picBuf.Prepared = QImage(picBuf.Picture.size(), QImage::Format_RGB32);
            picBuf.Prepared.fill(transparent);
            QPainter holder(&picBuf.Prepared);
            holder.drawPixmap(0, 0, picBuf.Picture);
            picBuf.PreparedFor = transparent;
        }
        return &picBuf.Prepared;
    }
    case 1:
        transparent = face;
        return &Glyph(large ? 0 : 1, face);
    case 2:
        transparent = face;
        return &Glyph(large ? 2 : 3, face);
    default:
        return nullptr;
    }
}

void Command::DrawCaption(QImage& target, const QRect& rect, int flags, const QColor& color) {
    const platform::DrawableText caption = platform::drawableText(drawBuffer.Font, mstrCaption);
    QPainter painter(&target);
    painter.setFont(caption.font);
    painter.setPen(color);
    painter.drawText(rect, flags | Qt::TextShowMnemonic, caption.text);
}

void Command::DrawButton() {
    // A redraw that arrives while two are already under way would only repeat them.
    if (mlngRedrawDepth >= 2)
        return;
    ++mlngRedrawDepth;

    // Before its first sizing the button has no surface to draw on; the resize draws it.
    if (drawBuffer.Image.isNull()) {
        mlngRedrawDepth = 0;
        return;
    }

    const QPalette& colors = palette();
    const QColor back = platform::resolveColor(drawBuffer.BackColor, colors);
    QImage& buffer = drawBuffer.Image;
    const qint32 SW = buffer.width();
    const qint32 SH = buffer.height();

    zor::tryStep("clear the surfaces", [&] {
        mimgSurface.fill(back);
        buffer.fill(back);
    });

    if (mintButtonType == 3) {
        zor::tryStep("copy the parent's background", [&] {
            QWidget* host = parentWidget();
            if (!host)
                throw zor::Failure(QStringLiteral("a see-through button without a parent"));
            // Rendered into an image of its own: the parent's painting may ask this button to
            // redraw, and the nested redraw must find the composition surface free.
            QImage background(SW, SH, QImage::Format_RGB32);
            background.fill(back);
            host->render(&background, QPoint(0, 0), QRegion(QRect(pos(), QSize(SW, SH))),
                         QWidget::DrawWindowBackground);
            QPainter painter(&buffer);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, background);
        });
    }

    QRgb transparent = 0;
    const QImage* source = PictureSource(transparent);
    const qint32 off = (mlngDownLook == 1 && mblnBevel) ? 1 : 0;
    const ButtonLayout layout =
        LayoutButton(SW, SH, mintGab, mlngPictureAlignment,
                     source ? std::optional<QSize>(source->size()) : std::nullopt, off);
    if (layout.PicturePos)
        platform::transparentCopy(buffer, *layout.PicturePos, *source, transparent);

    if (!mstrCaption.isEmpty()) {
        zor::tryStep("draw the caption", [&] {
            const int flags = CaptionFlags(mlngTextAlignment);
            const QRect rect = ToQRect(layout.Caption);
            if ((isEnabled() && !mblnDrawAsDisabled) || !mblnVisEnabledState) {
                DrawCaption(buffer, rect, flags, platform::resolveColor(drawBuffer.ForeColor, colors));
            } else {
                DrawCaption(buffer, rect.translated(1, 1), flags, Qt::white);
                DrawCaption(buffer, rect, flags, platform::systemColor(platform::GrayTextIndex, colors));
            }
        });
    }

    zor::tryStep("copy the image onto the button", [&] {
        QPainter painter(&mimgSurface);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(off, off), buffer, QRect(0, 0, SW - off, SH - off));
    });

    const QRect whole(0, 0, SW, SH);
    selShape.Visible = mblnSelected;
    const unsigned edge = mlngDownLook == 0
                              ? platform::EdgeRaised
                              : (mintClickEffect == 0 ? platform::EdgeSunken : platform::EdgeBump);
    if (mblnBevel)
        platform::drawEdge(mimgSurface, whole, edge, platform::SidesAll, colors);
    if (mblnFocusRect && hasFocus())
        platform::drawFocusRect(mimgSurface, QRect(4, 4, SW - 8, SH - 8));
    if (selShape.Visible)
        DrawOutline(mimgSurface, selShape.Geometry, platform::systemColor(8, colors).rgb());

    // The kept image is shown at the next paint. Letting pending events run here instead would
    // run timers, clicks and popup decisions in the middle of whatever asked for the redraw,
    // the main window's load among them.
    update();
    mlngRedrawDepth = 0;
}

void Command::UserControl_Resize() {
    selShape.Geometry = QRect(2, 2, width() - 4, height() - 4);
    const QSize inner = size().expandedTo(QSize(0, 0));
    if (drawBuffer.Image.size() != inner) {
        drawBuffer.Image = QImage(inner, QImage::Format_RGB32);
        mimgSurface = QImage(inner, QImage::Format_RGB32);
    }
    DrawButton();
}

void Command::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Command::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), mimgSurface, event->rect());
}

void Command::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
        DrawButton();
        break;
    default:
        break;
    }
}
