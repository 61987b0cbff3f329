#include "platform/Log.h"

#include "platform/Failure.h"

Q_LOGGING_CATEGORY(lcFailure, "zor.failure", QtWarningMsg)
Q_LOGGING_CATEGORY(lcApp, "zor.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLists, "zor.lists", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "zor.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcPlatform, "zor.platform", QtWarningMsg)

namespace zor {
void configureLogging(bool verbose) {
    // Every DevTools message, with every address and request header in it, only when asked for
    // by name (QT_LOGGING_RULES), not with the rest of the detail.
    QLoggingCategory::setFilterRules(verbose ? QStringLiteral("zor.*=true\nzor.browser.protocol.debug=false")
                                             : QStringLiteral("zor.*.debug=false\nzor.*.info=false"));
}
} // namespace zor
