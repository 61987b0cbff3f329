#include "controls/button/CommandLayout.h"

#include "platform/Failure.h"

#include <cmath>

qint32 RoundHalfEven(double value) {
    const double nearest = std::round(value);
    if (std::abs(value - std::trunc(value)) == 0.5)
        return static_cast<qint32>(2.0 * std::round(value / 2.0));
    return static_cast<qint32>(nearest);
}

namespace {

// The margin sums are 16-bit: they fail rather than wrap.
qint16 Add16(qint16 a, qint32 b) {
    return zor::toInt16(static_cast<qint64>(a) + b);
}

qint16 Twice16(qint16 a) {
    return zor::toInt16(2 * static_cast<qint64>(a));
}

} // namespace

ButtonLayout LayoutButton(qint32 SW, qint32 SH, qint16 Gab, qint32 PictureAlignment,
                          std::optional<QSize> picture, qint32 off) {
    ButtonLayout layout;
    CaptionRect& r = layout.Caption;
    r = {0, 0, SW - off, SH - off};

    zor::tryStep("place picture and caption", [&] {
        if (!picture) {
            r.Left = Gab;
            r.Right = RoundHalfEven(static_cast<double>(SW) - Gab);
            return;
        }
        const double picW = picture->width();
        const double picH = picture->height();
        const qint32 y = RoundHalfEven(SH / 2.0 - picH / 2.0);
        switch (PictureAlignment) {
        case 0:
            layout.PicturePos = QPoint(Add16(Gab, 2), y);
            r.Left = RoundHalfEven(Twice16(Gab) + picW + 2);
            r.Right = RoundHalfEven(static_cast<double>(SW) - Gab - 2);
            break;
        case 2:
            layout.PicturePos = QPoint(RoundHalfEven(SW / 2.0 - picW / 2.0), y);
            r.Left = RoundHalfEven(SW / 2.0 - picW / 2.0 + Gab + picW + 2);
            r.Right = RoundHalfEven(static_cast<double>(SW) - Gab - 2);
            break;
        case 1:
            layout.PicturePos = QPoint(RoundHalfEven(SW - (picW + Gab + 2)), y);
            r.Left = Add16(Gab, 2);
            r.Right = RoundHalfEven(SW - picW - Twice16(Gab) - 2);
            break;
        default:
            break;
        }
    });

    r.Top = 2;
    r.Bottom = SH - 2;
    return layout;
}
