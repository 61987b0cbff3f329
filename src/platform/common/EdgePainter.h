#pragma once

#include <QImage>
#include <QPalette>
#include <QRect>

namespace platform {

// The classic three-dimensional edge, drawn pixel-exact so that every theme gives the same
// geometry: two one-pixel rings, each with a top-left and a bottom-right colour.
enum EdgeLine : unsigned {
    RaisedOuter = 0x1,
    SunkenOuter = 0x2,
    RaisedInner = 0x4,
    SunkenInner = 0x8,
    EdgeRaised = RaisedOuter | RaisedInner, // 5
    EdgeSunken = SunkenOuter | SunkenInner, // 10
    EdgeBump = RaisedOuter | SunkenInner,   // 9
    EdgeEtched = SunkenOuter | RaisedInner, // 6
};

enum EdgeSide : unsigned {
    SideLeft = 0x1,
    SideTop = 0x2,
    SideRight = 0x4,
    SideBottom = 0x8,
    SidesAll = 0xF,
};

// rect: right and bottom exclusive, as QRect(left, top, width, height). Parts outside the image
// are left out.
void drawEdge(QImage& image, const QRect& rect, unsigned edge, unsigned sides, const QPalette& palette);

// The dotted focus outline: every other pixel of the rectangle's border inverted, so drawing it
// twice removes it.
void drawFocusRect(QImage& image, const QRect& rect);

// Copies source to target at the position, leaving out every pixel whose colour equals the
// transparent colour (alpha ignored). Parts outside the target are left out.
void transparentCopy(QImage& target, const QPoint& at, const QImage& source, QRgb transparent);

} // namespace platform
