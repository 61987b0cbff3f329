// Renders the button in each of its looks into one picture (docs/button-states.png):
//   QT_QPA_PLATFORM=offscreen build/tests/button_states docs/button-states.png
#include "controls/button/Command.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct State {
    const char* label;
    std::function<void(Command&)> setUp;
};

QPixmap Picture() {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setBrush(QColor(40, 110, 200));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 14, 14);
    return picture;
}

void Press(Command& button) {
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(&button, &down);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString target = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("button-states.png");

    const std::vector<State> states{
        {"at rest", [](Command&) {}},
        {"pressed", Press},
        {"pressed, bump", [](Command& b) { b.setClickEffect(1), Press(b); }},
        {"no bevel", [](Command& b) { b.setBevel(false); }},
        {"disabled", [](Command& b) { b.setEnabled(false); }},
        {"drawn as disabled", [](Command& b) { b.setDrawAsDisabled(true); }},
        {"focused", [](Command& b) { b.setFocus(); }},
        {"selected", [](Command& b) { b.setSelected(true); }},
        {"picture left", [](Command& b) { b.setPicture(Picture()); }},
        {"picture right", [](Command& b) { b.setPicture(Picture()), b.setPictureAlignment(1); }},
        {"cross glyph", [](Command& b) { b.setButtonType(1); }},
        {"check glyph", [](Command& b) { b.setButtonType(2); }},
        {"see-through", [](Command& b) { b.setButtonType(3); }},
    };

    QWidget sheet;
    sheet.setAutoFillBackground(true);
    QPalette background = sheet.palette();
    background.setColor(QPalette::Window, QColor(236, 226, 200));
    sheet.setPalette(background);
    const int cellW = 150;
    const int cellH = 44;
    const int soundRow = static_cast<int>(states.size());
    sheet.resize(cellW * 2, cellH * (soundRow + 1) + 8);

    std::vector<Command*> buttons;
    for (std::size_t i = 0; i < states.size(); ++i) {
        auto* button = new Command(&sheet);
        button->setGeometry(cellW, static_cast<int>(i) * cellH + 6, 130, 34);
        button->setCaption(QStringLiteral("&Caption"));
        buttons.push_back(button);
    }
    Command* sound[] = {Command::createSoundFileButton(&sheet), Command::createPlaySoundButton(&sheet),
                        Command::createStopSoundButton(&sheet)};
    for (int i = 0; i < 3; ++i)
        sound[i]->move(cellW + i * 32, soundRow * cellH + 10);
    sheet.show();
    sheet.activateWindow();
    QCoreApplication::processEvents();
    for (std::size_t i = 0; i < states.size(); ++i)
        states[i].setUp(*buttons[i]);
    QCoreApplication::processEvents();

    QImage image = sheet.grab().toImage();
    QPainter labels(&image);
    labels.setPen(Qt::black);
    for (std::size_t i = 0; i < states.size(); ++i)
        labels.drawText(QRect(8, static_cast<int>(i) * cellH + 6, cellW - 16, 34), Qt::AlignVCenter,
                        QString::fromLatin1(states[i].label));
    labels.drawText(QRect(8, soundRow * cellH + 6, cellW - 16, 34), Qt::AlignVCenter,
                    QStringLiteral("sound buttons"));
    labels.end();
    if (!image.save(target)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return 1;
    }
    std::printf("wrote %s\n", qPrintable(target));
    return 0;
}
