#include "platform/cdp/CdpLog.h"

Q_LOGGING_CATEGORY(lcCdp, "zor.browser", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCdpWire, "zor.browser.protocol", QtWarningMsg)
