#include "platform/common/PrivateProfile.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {

QString PrivateProfile::decode(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    // Windows editors save "Unicode" text as UTF-16 with a byte-order mark.
    if (const auto marked = QStringConverter::encodingForData(view);
        marked && *marked != QStringConverter::Utf8) {
        QStringDecoder decoder(*marked, QStringDecoder::Flag::Stateless);
        return decoder.decode(view);
    }
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view);
}

QString PrivateProfile::readString(const QString& fileName, const QString& section, const QString& key,
                                   const QString& defaultValue) {
    QFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return defaultValue;
    return readString(file.readAll(), section, key, defaultValue);
}

QString PrivateProfile::readString(const QByteArray& contents, const QString& section, const QString& key,
                                   const QString& defaultValue) {
    const QString text = decode(contents);
    bool inSection = false;
    bool sectionSeen = false;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = QStringView(text).mid(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            // Only the first section of that name counts.
            if (inSection)
                break;
            inSection = !sectionSeen && name.compare(section, Qt::CaseInsensitive) == 0;
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QStringView value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.toString();
    }
    return defaultValue;
}

} // namespace platform
