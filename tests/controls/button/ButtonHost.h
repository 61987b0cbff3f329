#pragma once

#include "controls/button/Command.h"
#include "support/Pictures.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A parent for buttons under test: a fixed palette whose edge shades are all distinct.
class ButtonHost : public QWidget {
public:
    static constexpr QRgb Face = 0xFFC8C8C8;       // button face
    static constexpr QRgb Highlight = 0xFFFAFAFA;  // button highlight
    static constexpr QRgb Light = 0xFFE1E1E1;      // 3D light
    static constexpr QRgb Shadow = 0xFF808080;     // button shadow
    static constexpr QRgb DarkShadow = 0xFF141414; // 3D dark shadow
    static constexpr QRgb Text = 0xFF000080;       // button text
    static constexpr QRgb GrayText = 0xFF8C8CA0;   // grey text

    ButtonHost() {
        QPalette colors = palette();
        colors.setColor(QPalette::Button, QColor::fromRgb(Face));
        colors.setColor(QPalette::Light, QColor::fromRgb(Highlight));
        colors.setColor(QPalette::Midlight, QColor::fromRgb(Light));
        colors.setColor(QPalette::Dark, QColor::fromRgb(Shadow));
        colors.setColor(QPalette::Shadow, QColor::fromRgb(DarkShadow));
        colors.setColor(QPalette::ButtonText, QColor::fromRgb(Text));
        colors.setColor(QPalette::Disabled, QPalette::Text, QColor::fromRgb(GrayText));
        setPalette(colors);
        QFont crisp = font();
        crisp.setStyleStrategy(QFont::NoAntialias);
        setFont(crisp);
        resize(200, 120);
    }
};

// What the button shows: its kept image as the platform paints it.
inline QImage Shot(Command& button) {
    return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The bounding box of every pixel of one colour; empty when the colour does not appear.
inline QRect InkBox(const QImage& image, QRgb color) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == color)
                box |= QRect(x, y, 1, 1);
    return box;
}

// One captionless 40 x 30 button on a host, for tests that press it or look at its pixels.
class ButtonTest : public testing::Test {
protected:
    void SetUp() override {
        button->setGeometry(60, 20, 40, 30);
        button->setCaption(QString());
        host.show();
    }
    bool looksPressed() { return Shot(*button).pixel(0, 0) == ButtonHost::Shadow; }

    ButtonHost host;
    Command* button = new Command(&host);
};
