// Cost of one redraw of the owner-drawn button (every property change, press and release runs
// one) and of a whole press-and-release cycle, for the main window's small buttons and a wide
// button with a picture.
#include "BenchTiming.h"
#include "controls/button/Command.h"

#include <QApplication>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

void pressAndRelease(Command& button) {
    const QPointF at(button.width() / 2.0, button.height() / 2.0);
    QMouseEvent down(QEvent::MouseButtonPress, at, button.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, at, button.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &down);
    QCoreApplication::sendEvent(&button, &up);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QWidget host;
    host.resize(400, 200);

    Command* play = Command::createPlaySoundButton(&host);
    auto* wide = new Command(&host);
    wide->setGeometry(40, 40, 200, 40);
    QPixmap picture(32, 32);
    picture.fill(Qt::darkCyan);
    wide->setPicture(picture);
    wide->setCaption(QStringLiteral("Choose a sound file"));
    auto* seeThrough = new Command(&host);
    seeThrough->setGeometry(40, 100, 200, 40);
    seeThrough->setButtonType(3);
    host.show();
    QCoreApplication::processEvents();

    const int rounds = 2000;
    std::printf("redraw, 24 x 24 play button:         %8.1f us\n",
                medianMicroseconds(rounds, [&](int) { play->ReDraw(); }));
    std::printf("redraw, 200 x 40 with picture:       %8.1f us\n",
                medianMicroseconds(rounds, [&](int) { wide->ReDraw(); }));
    std::printf("redraw, 200 x 40 see-through:        %8.1f us\n",
                medianMicroseconds(rounds, [&](int) { seeThrough->ReDraw(); }));
    std::printf("press + release (2 redraws + Click): %8.1f us\n",
                medianMicroseconds(rounds, [&](int) { pressAndRelease(*wide); }));
    std::printf("caption change on the play button:   %8.1f us\n", medianMicroseconds(rounds, [&](int i) {
                    play->setCaption(i % 2 ? QStringLiteral("4") : QStringLiteral("g"));
                }));
    return 0;
}
