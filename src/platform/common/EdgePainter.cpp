#include "platform/common/EdgePainter.h"

#include "platform/common/SystemColors.h"

#include <optional>

namespace platform {

namespace {

using Shade = std::optional<int>;

// The system colour of each line, by the two edge bits of that ring. A ring without bits is
// not drawn; both bits set is not a valid look and draws nothing either.
struct RingShades {
    Shade topLeft;
    Shade bottomRight;
};

RingShades outerShades(unsigned edge) {
    switch (edge & (RaisedOuter | SunkenOuter)) {
    case RaisedOuter:
        return {Light3DIndex, DarkShadow3DIndex};
    case SunkenOuter:
        return {ButtonShadowIndex, ButtonHighlightIndex};
    default:
        return {};
    }
}

RingShades innerShades(unsigned edge) {
    switch (edge & (RaisedInner | SunkenInner)) {
    case RaisedInner:
        return {ButtonHighlightIndex, ButtonShadowIndex};
    case SunkenInner:
        return {DarkShadow3DIndex, Light3DIndex};
    default:
        return {};
    }
}

void setPixel(QImage& image, int x, int y, QRgb color) {
    if (image.rect().contains(x, y))
        image.setPixel(x, y, color);
}

void horizontal(QImage& image, int y, int from, int to, QRgb color) {
    for (int x = from; x < to; ++x)
        setPixel(image, x, y, color);
}

void vertical(QImage& image, int x, int from, int to, QRgb color) {
    for (int y = from; y < to; ++y)
        setPixel(image, x, y, color);
}

// Top-left lines first, bottom-right lines after them, so the top-right and bottom-left
// corners take the bottom-right colour as on the classic desktop.
void drawRing(QImage& image, const QRect& r, unsigned sides, const RingShades& shades,
              const QPalette& palette) {
    const int left = r.left();
    const int top = r.top();
    const int right = r.left() + r.width();
    const int bottom = r.top() + r.height();
    if (shades.topLeft) {
        const QRgb color = systemColor(*shades.topLeft, palette).rgb();
        if (sides & SideTop)
            horizontal(image, top, left, right, color);
        if (sides & SideLeft)
            vertical(image, left, top, bottom, color);
    }
    if (shades.bottomRight) {
        const QRgb color = systemColor(*shades.bottomRight, palette).rgb();
        if (sides & SideBottom)
            horizontal(image, bottom - 1, left, right, color);
        if (sides & SideRight)
            vertical(image, right - 1, top, bottom, color);
    }
}

} // namespace

void drawEdge(QImage& image, const QRect& rect, unsigned edge, unsigned sides, const QPalette& palette) {
    drawRing(image, rect, sides, outerShades(edge), palette);
    drawRing(image, rect.adjusted(1, 1, -1, -1), sides, innerShades(edge), palette);
}

void drawFocusRect(QImage& image, const QRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    const int left = rect.left();
    const int top = rect.top();
    const int right = left + rect.width() - 1;
    const int bottom = top + rect.height() - 1;
    auto invert = [&](int x, int y) {
        if ((x + y) % 2 == 0 && image.rect().contains(x, y))
            image.setPixel(x, y, image.pixel(x, y) ^ 0x00FFFFFFu);
    };
    for (int x = left; x <= right; ++x) {
        invert(x, top);
        if (bottom != top)
            invert(x, bottom);
    }
    for (int y = top + 1; y < bottom; ++y) {
        invert(left, y);
        if (right != left)
            invert(right, y);
    }
}

void transparentCopy(QImage& target, const QPoint& at, const QImage& source, QRgb transparent) {
    const QRgb key = transparent & 0x00FFFFFFu;
    for (int y = 0; y < source.height(); ++y) {
        const int ty = at.y() + y;
        if (ty < 0 || ty >= target.height())
            continue;
        for (int x = 0; x < source.width(); ++x) {
            const int tx = at.x() + x;
            if (tx < 0 || tx >= target.width())
                continue;
            const QRgb pixel = source.pixel(x, y);
            if ((pixel & 0x00FFFFFFu) != key)
                target.setPixel(tx, ty, pixel | 0xFF000000u);
        }
    }
}

} // namespace platform
