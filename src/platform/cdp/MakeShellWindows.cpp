#include "platform/BrowserOptions.h"
#include "platform/Failure.h"

namespace platform {

std::unique_ptr<ShellWindows> makeShellWindows() {
    throw zor::Failure(QStringLiteral("watching browsers over the DevTools protocol is not built yet"));
}

} // namespace platform
