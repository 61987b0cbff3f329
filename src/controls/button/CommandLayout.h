#pragma once

#include <QPoint>
#include <QSize>
#include <QtGlobal>
#include <optional>

// Where DrawButton puts the picture and the caption. Kept apart from the widget so the
// numbers can be checked without drawing.

// Right and Bottom are exclusive, as the platform's rectangles.
struct CaptionRect {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;

    friend bool operator==(const CaptionRect&, const CaptionRect&) = default;
};

struct ButtonLayout {
    CaptionRect Caption;
    // Where the picture goes; empty when none is drawn.
    std::optional<QPoint> PicturePos;
};

// Halves go to the even neighbour, as every size that passes through a division by 2 does.
qint32 RoundHalfEven(double value);

// SW, SH: the composition surface; picture: the size of the picture to place, empty when there
// is none; off: 1 while drawn pressed with a bevel. A margin so large that Gab + 2 (or 2 x Gab)
// leaves 16 bits makes the placement step fail and leaves the rectangle as far as it got.
ButtonLayout LayoutButton(qint32 SW, qint32 SH, qint16 Gab, qint32 PictureAlignment,
                          std::optional<QSize> picture, qint32 off);
