#include "platform/common/IniDocument.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace platform {

namespace {

QString escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case 0:
            out += QLatin1String("\\0");
            break;
        default:
            out += c;
        }
    }
    // White space at either end (a vertical tab or a no-break space as much as a blank) would be
    // lost to trimming on the next read.
    if (!out.isEmpty() && (out.front().isSpace() || out.back().isSpace() || out.front() == u'"'))
        out = QLatin1Char('"') + out + QLatin1Char('"');
    return out;
}

QString unescape(QStringView text) {
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        text = text.mid(1, text.size() - 2);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        switch (text[++i].unicode()) {
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case '0':
            out += QChar(0);
            break;
        default:
            out += text[i];
        }
    }
    return out;
}

} // namespace

IniDocument::LoadResult IniDocument::load(const QString& path) {
    m_sections.clear();
    QFile file(path);
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    return parse(bytes) ? LoadResult::Loaded : LoadResult::Damaged;
}

bool IniDocument::parse(const QByteArray& bytes) {
    // A damaged file still gives every line that can be read; the caller learns it was damaged.
    bool damaged = false;
    Section* current = nullptr;
    const QList<QByteArray> lines = bytes.split('\n');
    for (const QByteArray& raw : lines) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder.decode(raw);
        if (raw.contains('\0') || decoder.hasError()) {
            damaged = true;
            continue;
        }
        const QStringView line = QStringView(text).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) {
                // Keys after a broken header belong nowhere we could name.
                damaged = true;
                current = nullptr;
                continue;
            }
            const QString name = line.mid(1, line.size() - 2).trimmed().toString();
            current = findSection(name);
            if (!current) {
                m_sections.append(Section{name, {}});
                current = &m_sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || !current) {
            damaged = true;
            continue;
        }
        const QString key = line.left(eq).trimmed().toString();
        if (!value(current->name, key))
            current->entries.append(Entry{key, unescape(line.mid(eq + 1).trimmed())});
    }
    return !damaged;
}

QByteArray IniDocument::serialize() const {
    QString out;
    for (const Section& section : m_sections) {
        if (!out.isEmpty())
            out += u'\n';
        out += u'[' + section.name + QLatin1String("]\n");
        for (const Entry& entry : section.entries)
            out += entry.key + u'=' + escape(entry.value) + u'\n';
    }
    return out.toUtf8();
}

bool IniDocument::save(const QString& path) const {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        qCWarning(lcSettings, "cannot create the folder %s", qUtf8Printable(info.absolutePath()));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcSettings, "cannot write %s: %s", qUtf8Printable(path),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    const QByteArray bytes = serialize();
    // A short file must be flushed here: a write that fails only in commit() goes unnoticed
    // there and the cut-off file would replace the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        qCWarning(lcSettings, "cannot write %s: %s", qUtf8Printable(path),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

IniDocument::Section* IniDocument::findSection(const QString& name) {
    for (Section& section : m_sections)
        if (section.name.compare(name, Qt::CaseInsensitive) == 0)
            return &section;
    return nullptr;
}

const IniDocument::Section* IniDocument::findSection(const QString& name) const {
    return const_cast<IniDocument*>(this)->findSection(name);
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    if (const Section* found = findSection(section))
        for (const Entry& entry : found->entries)
            if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
                return entry.value;
    return std::nullopt;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    Section* found = findSection(section);
    if (!found) {
        m_sections.append(Section{section, {}});
        found = &m_sections.last();
    }
    for (Entry& entry : found->entries)
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0) {
            entry.value = value;
            return;
        }
    found->entries.append(Entry{key, value});
}

bool IniDocument::remove(const QString& section, const QString& key) {
    Section* found = findSection(section);
    if (!found)
        return false;
    return found->entries.removeIf(
               [&](const Entry& e) { return e.key.compare(key, Qt::CaseInsensitive) == 0; }) > 0;
}

QStringList IniDocument::keys(const QString& section) const {
    QStringList out;
    if (const Section* found = findSection(section))
        for (const Entry& entry : found->entries)
            out << entry.key;
    return out;
}

} // namespace platform
