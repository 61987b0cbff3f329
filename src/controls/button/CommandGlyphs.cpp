#include "controls/button/CommandGlyphs.h"

#include <QPointF>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace {

using Segment = std::pair<QPointF, QPointF>;

double DistanceToSegment(const QPointF& p, const Segment& s) {
    const QPointF d = s.second - s.first;
    const double lengthSquared = QPointF::dotProduct(d, d);
    const double t =
        lengthSquared > 0 ? std::clamp(QPointF::dotProduct(p - s.first, d) / lengthSquared, 0.0, 1.0) : 0.0;
    const QPointF nearest = s.first + t * d;
    return std::hypot(p.x() - nearest.x(), p.y() - nearest.y());
}

// Hard-edged strokes: icons of 16 colours have no blending, and the transparent transfer needs
// every pixel to be either the stroke or the background.
QImage Strokes(int size, double width, QRgb ink, const QColor& background,
               std::initializer_list<Segment> segments) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(background);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            for (const Segment& s : segments) {
                if (DistanceToSegment(centre, s) <= width / 2.0) {
                    image.setPixel(x, y, ink);
                    break;
                }
            }
        }
    }
    return image;
}

} // namespace

QImage DrawGlyph(CommandGlyph glyph, const QColor& background) {
    const bool large = glyph == CommandGlyph::Cross32 || glyph == CommandGlyph::Check32;
    const int size = large ? 32 : 16;
    const double width = large ? 5.0 : 3.0;
    // Stroke ends sit so that the stroke's outer edge keeps one to two pixels of margin.
    const double lo = large ? 2.0 + width / 2.0 : 1.0 + width / 2.0;
    const double hi = size - lo;
    const QRgb red = qRgb(255, 0, 0);
    const QRgb green = qRgb(0, 255, 0);
    switch (glyph) {
    case CommandGlyph::Cross32:
    case CommandGlyph::Cross16:
        return Strokes(size, width, red, background, {{{lo, lo}, {hi, hi}}, {{lo, hi}, {hi, lo}}});
    case CommandGlyph::Check32:
    case CommandGlyph::Check16: {
        const QPointF knee(size * 0.40, hi);
        return Strokes(size, width, green, background,
                       {{{lo, size * 0.55}, knee}, {knee, {hi, lo + size * 0.05}}});
    }
    }
    return {};
}
