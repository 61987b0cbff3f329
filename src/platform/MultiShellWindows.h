#pragma once

#include "platform/WebBrowser.h"

#include <memory>
#include <vector>

namespace platform {

// Several browser families watched at once (Chromium over DevTools, Firefox through its
// extension) as one set of windows: the registry above sees no difference.
class MultiShellWindows : public ShellWindows {
    Q_OBJECT
public:
    explicit MultiShellWindows(QObject* parent = nullptr);
    void add(std::unique_ptr<ShellWindows> part);

    // The parts' windows, part by part in the order they were added.
    QList<WebBrowser*> items() const override;

private:
    std::vector<std::unique_ptr<ShellWindows>> m_parts;
};

} // namespace platform
