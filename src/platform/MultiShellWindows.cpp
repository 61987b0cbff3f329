#include "platform/MultiShellWindows.h"

namespace platform {

MultiShellWindows::MultiShellWindows(QObject* parent)
    : ShellWindows(parent) {}

void MultiShellWindows::add(std::unique_ptr<ShellWindows> part) {
    connect(part.get(), &ShellWindows::WindowRegistered, this, &ShellWindows::WindowRegistered);
    connect(part.get(), &ShellWindows::WindowRevoked, this, &ShellWindows::WindowRevoked);
    connect(part.get(), &ShellWindows::BrowserBlocksPopups, this, &ShellWindows::BrowserBlocksPopups);
    connect(part.get(), &ShellWindows::BrowserAwaitsApproval, this, &ShellWindows::BrowserAwaitsApproval);
    connect(part.get(), &ShellWindows::BrowserRefusedApproval, this, &ShellWindows::BrowserRefusedApproval);
    connect(part.get(), &ShellWindows::KeysReported, this, &ShellWindows::KeysReported);
    m_parts.push_back(std::move(part));
}

QList<WebBrowser*> MultiShellWindows::items() const {
    QList<WebBrowser*> windows;
    // A part that cannot list its windows must not hide the others'.
    std::exception_ptr failure;
    bool listed = false;
    for (const auto& part : m_parts) {
        try {
            windows += part->items();
            listed = true;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure && !listed)
        std::rethrow_exception(failure);
    return windows;
}

} // namespace platform
