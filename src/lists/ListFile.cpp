#include "lists/ListFile.h"

#include "lists/LosslessText.h"
#include "platform/Log.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <utility>

namespace ListFile {

namespace {

constexpr qint64 ChunkBytes = 1 << 20;

struct Parsed {
    QStringList entries;
    qsizetype tooLong = 0;
    bool overCapacity = false;
};

// Splits bytes handed over in pieces into entries. Memory stays bounded by one entry: an
// over-long line is counted, not kept.
class EntryCollector {
public:
    explicit EntryCollector(qsizetype capacity)
        : m_capacity(capacity) {}

    // False once the list is full and one more entry came: nothing later can be taken.
    bool feed(QByteArrayView chunk, bool last) {
        qsizetype i = 0;
        if (m_crPending && !chunk.isEmpty()) {
            m_crPending = false;
            if (chunk[0] == '\n')
                ++i;
        }
        while (i < chunk.size()) {
            const qsizetype cr = chunk.indexOf('\r', i);
            append(chunk.sliced(i, (cr < 0 ? chunk.size() : cr) - i));
            if (cr < 0)
                break;
            if (!finishLine())
                return false;
            i = cr + 1;
            if (i == chunk.size())
                m_crPending = true;
            else if (chunk[i] == '\n')
                ++i;
        }
        if (last && (m_skipping || !m_pending.isEmpty()))
            return finishLine();
        return true;
    }

    Parsed parsed;

private:
    void append(QByteArrayView piece) {
        if (m_skipping)
            return;
        if (m_pending.size() + piece.size() > MaxEntryBytes) {
            m_skipping = true;
            m_pending.clear();
        } else {
            m_pending += piece;
        }
    }

    bool finishLine() {
        // Counted with or without a dot: rewriting the file would drop it either way.
        if (m_skipping) {
            ++parsed.tooLong;
            m_skipping = false;
            return true;
        }
        const QByteArray line = std::exchange(m_pending, QByteArray());
        if (line.isEmpty() || !line.contains('.'))
            return true;
        if (parsed.entries.size() >= m_capacity) {
            parsed.overCapacity = true;
            return false;
        }
        parsed.entries << LosslessText::decode(line);
        return true;
    }

    qsizetype m_capacity;
    QByteArray m_pending;
    bool m_skipping = false;
    bool m_crPending = false;
};

} // namespace

QStringList parse(QByteArrayView bytes, qsizetype capacity, bool* incomplete) {
    EntryCollector collector(capacity);
    collector.feed(bytes, true);
    Parsed& parsed = collector.parsed;
    if (incomplete)
        *incomplete = parsed.tooLong > 0 || parsed.overCapacity;
    return std::move(parsed.entries);
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
    EntryCollector collector(capacity);
    for (;;) {
        const QByteArray chunk = file.read(ChunkBytes);
        if (file.error() != QFileDevice::NoError) {
            qCWarning(lcLists, "%s could be read only in part: %s", qUtf8Printable(path),
                      qUtf8Printable(file.errorString()));
            content.complete = false;
            break;
        }
        if (chunk.isEmpty()) {
            collector.feed({}, true);
            break;
        }
        if (!collector.feed(chunk, false))
            break;
    }
    Parsed& parsed = collector.parsed;
    content.entries = std::move(parsed.entries);
    if (parsed.tooLong > 0) {
        qCWarning(lcLists, "%s: skipped %lld over-long lines (more than %lld bytes cannot be an entry)",
                  qUtf8Printable(path), static_cast<long long>(parsed.tooLong),
                  static_cast<long long>(MaxEntryBytes));
        content.complete = false;
    }
    if (parsed.overCapacity) {
        qCWarning(lcLists, "%s holds more than %lld entries; the rest was not loaded", qUtf8Printable(path),
                  static_cast<long long>(capacity));
        content.complete = false;
    }
    return content;
}

bool write(const QString& path, const QStringList& entries, bool keepBackup) {
    if (keepBackup && QFile::exists(path)) {
        // Copied beside it first: a copy that fails half-way (disk full) must not cost the
        // backup an earlier save made.
        const QString backup = path + QLatin1String(".bak");
        const QString copy = backup + QLatin1String(".new");
        QFile::remove(copy);
        if (!QFile::copy(path, copy) ||
            std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(backup).constData()) != 0) {
            QFile::remove(copy);
            qCWarning(lcLists, "cannot keep %s as %s; the list was not saved", qUtf8Printable(path),
                      qUtf8Printable(backup));
            return false;
        }
        qCWarning(lcLists, "%s was loaded only in part; the old file is kept as %s", qUtf8Printable(path),
                  qUtf8Printable(backup));
    }
    // The new file keeps who may read the old one (a private list stays private), plus the owner's
    // write: a read-only old file is replaced by a writable one, as a user who made it read-only by
    // accident would expect, and the atomic writer refuses a read-only target otherwise. The
    // "user" bits describe this process, not the file, so they are left out.
    const bool existed = QFile::exists(path);
    const QFileDevice::Permissions old =
        QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    if (existed)
        QFile::setPermissions(path, old | QFileDevice::WriteOwner);
    QSaveFile file(path);
    const QByteArray bytes = serialize(entries);
    // A short file must be flushed here: a write that fails only in commit() goes unnoticed
    // there and the cut-off file would replace the old one.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        qCWarning(lcLists, "cannot save %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        if (existed)
            QFile::setPermissions(path, old);
        return false;
    }
    if (existed)
        QFile::setPermissions(path, old | QFileDevice::WriteOwner);
    return true;
}

} // namespace ListFile
