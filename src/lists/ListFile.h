#pragma once

#include <QString>
#include <QStringList>

// The list file format: one entry a line, CR LF after every line; reading ends a line at CR
// or CR LF (a lone LF stays in the text) and keeps only lines that hold a ".".
namespace ListFile {

struct Content {
    QStringList entries;
    // False when the file could not be read to its end or held more entries than a list can.
    bool complete = true;
};

QStringList parse(QByteArrayView bytes, qsizetype capacity, bool* truncated = nullptr);
QByteArray serialize(const QStringList& entries);

Content read(const QString& path, qsizetype capacity);
// Replaces the file atomically; on failure the old file stays as it was. When keepBackup is
// set, the old file is first kept as "<path>.bak".
bool write(const QString& path, const QStringList& entries, bool keepBackup);

} // namespace ListFile
