#include "lists/ListFile.h"

#include "lists/LosslessText.h"
#include "platform/Log.h"

#include <QFile>
#include <QSaveFile>

namespace ListFile {

QStringList parse(QByteArrayView bytes, qsizetype capacity, bool* truncated) {
    QStringList entries;
    if (truncated)
        *truncated = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\r', start);
        const bool lastLine = end < 0;
        if (lastLine)
            end = bytes.size();
        const QByteArrayView line = bytes.sliced(start, end - start);
        start = end + 1;
        if (!lastLine && start < bytes.size() && bytes[start] == '\n')
            ++start;
        if (line.isEmpty() || !line.contains('.'))
            continue;
        if (entries.size() >= capacity) {
            if (truncated)
                *truncated = true;
            break;
        }
        entries << LosslessText::decode(line);
    }
    return entries;
}

QByteArray serialize(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries) {
        bytes += LosslessText::encode(entry);
        bytes += "\r\n";
    }
    return bytes;
}

Content read(const QString& path, qsizetype capacity) {
    Content content;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcLists, "cannot read %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        content.complete = false;
        return content;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qCWarning(lcLists, "%s could be read only in part: %s", qUtf8Printable(path),
                  qUtf8Printable(file.errorString()));
        content.complete = false;
    }
    bool truncated = false;
    content.entries = parse(bytes, capacity, &truncated);
    if (truncated) {
        qCWarning(lcLists, "%s holds more than %lld entries; the rest was not loaded", qUtf8Printable(path),
                  static_cast<long long>(capacity));
        content.complete = false;
    }
    return content;
}

bool write(const QString& path, const QStringList& entries, bool keepBackup) {
    if (keepBackup && QFile::exists(path)) {
        const QString backup = path + QLatin1String(".bak");
        QFile::remove(backup);
        if (!QFile::copy(path, backup)) {
            qCWarning(lcLists, "cannot keep %s as %s; the list was not saved", qUtf8Printable(path),
                      qUtf8Printable(backup));
            return false;
        }
        qCWarning(lcLists, "%s was loaded only in part; the old file is kept as %s", qUtf8Printable(path),
                  qUtf8Printable(backup));
    }
    // A read-only old file is replaced by a normal one, as a user who made it read-only by
    // accident would expect; the atomic writer refuses a read-only target otherwise.
    const auto normal =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
    QSaveFile file(path);
    const QByteArray bytes = serialize(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcLists, "cannot save %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        return false;
    }
    // The new file is a plain one, whatever the old one's permissions were.
    QFile::setPermissions(path, normal);
    return true;
}

} // namespace ListFile
