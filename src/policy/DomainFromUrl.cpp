#include "policy/DomainFromUrl.h"

#include "util/WebMarker.h"

#include <optional>

namespace {

// The text after a marker up to the next slash; nullopt when the text is the marker alone,
// so that the next rule gets its turn.
std::optional<QString> afterMarker(const QString& url, qsizetype markerPos, qsizetype markerLength) {
    const qsizetype start = markerPos + markerLength;
    const qsizetype slash = url.indexOf(QLatin1Char('/'), start);
    if (slash >= 0)
        return url.mid(start, slash - start);
    if (url.size() > markerLength)
        return url.mid(start);
    return std::nullopt;
}

} // namespace

QString GetDomainFromURL(const QString& strUrl) {
    if (const WebMarker web = WebMarker::find(strUrl); web.found())
        if (auto domain = afterMarker(strUrl, web.position, web.length))
            return *domain;
    if (const qsizetype ftp = strUrl.indexOf(QLatin1String("ftp://"), 0, Qt::CaseInsensitive); ftp >= 0)
        if (auto domain = afterMarker(strUrl, ftp, 6))
            return *domain;
    const qsizetype slash = strUrl.indexOf(QLatin1Char('/'));
    return slash < 0 ? strUrl : strUrl.left(slash);
}
