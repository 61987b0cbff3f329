#pragma once

#include <QString>
#include <QStringList>

// The list file format: one entry a line, CR LF after every line; reading ends a line at CR
// or CR LF (a lone LF stays in the text) and keeps only lines that hold a ".".
namespace ListFile {

// No host name comes near this; a longer line is damage (or not a list file at all), and
// keeping it would make every lookup and the list view crawl.
constexpr qsizetype MaxEntryBytes = 2048;

struct Content {
    QStringList entries;
    // False when the file could not be read to its end, held lines too long to be entries, or
    // held more entries than a list can.
    bool complete = true;
};

// incomplete: set when a line was skipped for its length or entries were left over capacity.
QStringList parse(QByteArrayView bytes, qsizetype capacity, bool* incomplete = nullptr);
QByteArray serialize(const QStringList& entries);

// Reads no further than the entry that fills the list, so a huge file costs no more than a full
// list does.
Content read(const QString& path, qsizetype capacity);
// Replaces the file atomically, keeping the old file's permissions plus the owner's write; on
// failure the old file stays as it was. When keepBackup is set, the old file is first kept as
// "<path>.bak".
bool write(const QString& path, const QStringList& entries, bool keepBackup);

} // namespace ListFile
