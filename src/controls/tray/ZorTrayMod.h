#pragma once

#include <QString>
#include <cstdint>

// What the shell is handed for the icon, prepared the way the notification area needs it.
namespace ZorTrayMod {

// The longest tip the notification area shows.
inline constexpr int MaxTipLength = 63;

// The tip as the shell receives it: ends at the first NUL, as a C text would, and is cut to
// MaxTipLength characters without leaving half a surrogate pair behind.
QString ShellTip(const QString& Tip);

} // namespace ZorTrayMod
