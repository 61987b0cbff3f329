#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCdp)
// Every message on the wire, for looking into a browser's behaviour:
// QT_LOGGING_RULES="zor.browser.protocol.debug=true"
Q_DECLARE_LOGGING_CATEGORY(lcCdpWire)
