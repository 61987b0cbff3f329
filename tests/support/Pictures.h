#pragma once

#include <QColor>
#include <QPixmap>

// A picture of one colour, for tests that follow which picture went where.
inline QPixmap solidPicture(QColor colour, QSize size = {16, 16}) {
    QPixmap picture(size);
    picture.fill(colour);
    return picture;
}
