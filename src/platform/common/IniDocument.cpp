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
    if (!parse(bytes)) {
        m_sections.clear();
        return LoadResult::Damaged;
    }
    return LoadResult::Loaded;
}

bool IniDocument::parse(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return false;
    Section* current = nullptr;
    const auto lines = QStringView(text).split(u'\n');
    for (QStringView line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return false;
            const QString name = line.mid(1, line.size() - 2).trimmed().toString();
            current = findSection(name);
            if (!current) {
                m_sections.append(Section{name, {}});
                current = &m_sections.last();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || !current)
            return false;
        const QString key = line.left(eq).trimmed().toString();
        if (!value(current->name, key))
            current->entries.append(Entry{key, unescape(line.mid(eq + 1).trimmed())});
    }
    return true;
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
    if (file.write(bytes) != bytes.size() || !file.commit()) {
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
