#pragma once

// Included into every test: lets GoogleTest print Qt text in failure messages, and gives the
// short q("...") for UTF-8 text.
#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

inline QString q(const char* text) {
    return QString::fromUtf8(text);
}
