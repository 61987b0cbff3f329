#pragma once

#include <QPixmap>
#include <array>

// The four tray pictures, drawn at start: 0 blocking off, 1 on with Ctrl held, 2 on, 3 flash.
namespace TrayIcons {
std::array<QPixmap, 4> draw();
}
