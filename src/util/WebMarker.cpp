#include "util/WebMarker.h"

WebMarker WebMarker::find(const QString& text) {
    const qsizetype http = text.indexOf(QLatin1String("http://"), 0, Qt::CaseInsensitive);
    const qsizetype https = text.indexOf(QLatin1String("https://"), 0, Qt::CaseInsensitive);
    if (http < 0 && https < 0)
        return {};
    if (https < 0 || (http >= 0 && http < https))
        return {http, 7};
    return {https, 8};
}
