#include "app/TrayIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace {

QPolygonF octagon(QPointF centre, qreal radius) {
    QPolygonF shape;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = (22.5 + 45.0 * i) * M_PI / 180.0;
        shape << QPointF(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
    }
    return shape;
}

// A stop-sign octagon with a "Z"; the colours tell the state at a glance even at 16 pixels.
QPixmap sign(const QColor& fill, const QColor& letter, const QColor& rim) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(rim, 1.0));
    p.setBrush(fill);
    p.drawPolygon(octagon(QPointF(8, 8), 7.4));
    QPainterPath z;
    z.moveTo(4.8, 4.8);
    z.lineTo(11.2, 4.8);
    z.lineTo(4.8, 11.2);
    z.lineTo(11.2, 11.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(letter, 1.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(z);
    return pixmap;
}

QPixmap burst() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF star;
    for (int i = 0; i < 16; ++i) {
        const qreal radius = i % 2 ? 3.6 : 7.8;
        const qreal angle = i * M_PI / 8.0;
        star << QPointF(8 + radius * std::cos(angle), 8 + radius * std::sin(angle));
    }
    p.setPen(QPen(QColor(200, 90, 0), 1.0));
    p.setBrush(QColor(255, 220, 40));
    p.drawPolygon(star);
    return pixmap;
}

} // namespace

std::array<QPixmap, 4> TrayIcons::draw() {
    return {sign(QColor(150, 150, 150), Qt::white, QColor(90, 90, 90)),
            sign(QColor(240, 170, 20), Qt::black, QColor(150, 90, 0)),
            sign(QColor(205, 30, 30), Qt::white, QColor(120, 0, 0)), burst()};
}
