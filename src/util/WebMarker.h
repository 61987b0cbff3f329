#pragma once

#include <QString>

// Where the address part of a text starts: after the earliest "http://" or "https://" in it,
// letter case ignored. Both count: with only "http://" known, an https opener would reduce to
// "https:", and that one entry would match every https page.
struct WebMarker {
    qsizetype position = -1; // 0-based index of the marker, -1 when the text has none
    qsizetype length = 0;

    static WebMarker find(const QString& text);
    bool found() const { return position >= 0; }
    qsizetype end() const { return position + length; }
};
