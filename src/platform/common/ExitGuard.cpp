#include "platform/common/ExitGuard.h"

#include <cstdlib>
#include <optional>
#include <utility>

namespace platform {

namespace {
// Built before main(), so destroyed only after the handler registered later has run.
std::optional<std::function<void()>> gWork;
bool gRegistered = false;

void runAtExit() {
    if (auto work = std::exchange(gWork, std::nullopt))
        (*work)();
}
} // namespace

ExitGuard::ExitGuard(std::function<void()> work) {
    gWork = std::move(work);
    if (!gRegistered)
        gRegistered = std::atexit(runAtExit) == 0;
}

ExitGuard::~ExitGuard() {
    gWork.reset();
}

} // namespace platform
