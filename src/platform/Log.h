#pragma once

#include <QLoggingCategory>

// Quiet by default: warnings always reach stderr, info and debug only with --verbose.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcLists)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)

namespace zor {
// Installs the logging rules; verbose turns on info and debug lines of the program's own categories.
void configureLogging(bool verbose);
} // namespace zor
