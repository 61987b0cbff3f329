#include "platform/Log.h"

#include "platform/Failure.h"

Q_LOGGING_CATEGORY(lcFailure, "zor.failure", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "zor.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLists, "zor.lists", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "zor.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPlatform, "zor.platform", QtWarningMsg)

namespace zor {
void configureLogging(bool verbose) {
    QLoggingCategory::setFilterRules(verbose ? QStringLiteral("zor.*=true")
                                             : QStringLiteral("zor.*.debug=false\nzor.*.info=false"));
}
} // namespace zor
