#include "platform/linux/LinuxRegistry.h"

#include <memory>

namespace platform {
std::unique_ptr<Registry> makeRegistry() {
    return std::make_unique<LinuxRegistry>();
}
} // namespace platform
