#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Reader for private-profile files (language files and the like).
//  - section and key names match without regard to case; surrounding blanks are ignored;
//  - the value is the text after the first '=', trimmed, one pair of matching quotes removed;
//  - lines starting with ';' are comments; lines without '=' are ignored;
//  - when a section or key appears twice, the first one wins;
//  - the file is UTF-8, or UTF-16 or UTF-32 when it starts with their byte-order mark; a file
//    that is not valid UTF-8 is read as Latin-1;
//  - a missing file, section or key gives the default.
class PrivateProfile {
public:
    static QString readString(const QString& fileName, const QString& section, const QString& key,
                              const QString& defaultValue);
    static QString readString(const QByteArray& contents, const QString& section, const QString& key,
                              const QString& defaultValue);
    static QString decode(const QByteArray& bytes);
};

} // namespace platform
