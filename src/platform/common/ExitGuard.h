#pragma once

#include <functional>

namespace platform {

// Runs its work when the process is ended by exit() while the guard lives. The display library
// ends a program that way when its display goes away (an X server that stops with no logout
// asking the programs first), and the program's unload never runs then. Only one guard counts
// at a time: the newest.
class ExitGuard {
public:
    explicit ExitGuard(std::function<void()> work);
    ~ExitGuard();
    ExitGuard(const ExitGuard&) = delete;
    ExitGuard& operator=(const ExitGuard&) = delete;
};

} // namespace platform
