// The yardstick for the program's idle cost: a tray icon and nothing else. With --tick it also
// runs an empty 50 ms timer, the rate at which the program must look at Ctrl and Shift, so the
// cost of that tick alone can be told from the rest of the program's.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(16, 16);
    picture.fill(Qt::darkGreen);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &tick, [] {});
    if (QApplication::arguments().contains(QStringLiteral("--tick")))
        tick.start();
    return QApplication::exec();
}
