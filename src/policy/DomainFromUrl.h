#pragma once

#include <QString>

// The part of an address between its scheme marker and the next slash, exactly as written:
// no case change, the port and anything else kept. Never fails.
QString GetDomainFromURL(const QString& strUrl);
