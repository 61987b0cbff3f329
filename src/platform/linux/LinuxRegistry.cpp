#include "platform/linux/LinuxRegistry.h"

#include "platform/common/IniDocument.h"
#include "platform/common/XdgPaths.h"
#include "platform/linux/AutostartEntry.h"

namespace platform {

namespace {

QString sectionName(std::uint32_t root, const QString& subKey) {
    QString key = subKey;
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    return QString::number(root, 16) + QLatin1Char('\\') + key;
}

// Text values are stored without their terminating NUL, which is put back on reading.
QString encode(const RegValue& value) {
    if (value.type == REG_SZ) {
        QByteArray text = value.data;
        if (text.endsWith('\0'))
            text.chop(1);
        return QLatin1String("sz:") + QString::fromUtf8(text);
    }
    return QString::number(value.type) + QLatin1Char(':') + QString::fromLatin1(value.data.toHex());
}

std::optional<RegValue> decode(const QString& stored) {
    const qsizetype colon = stored.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return std::nullopt;
    const QString type = stored.left(colon);
    const QString data = stored.mid(colon + 1);
    if (type == QLatin1String("sz"))
        return RegValue{REG_SZ, data.toUtf8() + '\0'};
    bool ok = false;
    const std::uint32_t number = type.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return RegValue{number, QByteArray::fromHex(data.toLatin1())};
}

} // namespace

QString LinuxRegistry::filePath() {
    return XdgPaths::configHome() + QLatin1String("/ZOR Brakkon/registry.ini");
}

bool LinuxRegistry::isRunKey(std::uint32_t root, const QString& subKey) {
    return root == HKEY_CURRENT_USER &&
           sectionName(root, subKey)
                   .compare(
                       sectionName(root, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run")),
                       Qt::CaseInsensitive) == 0;
}

std::optional<RegValue> LinuxRegistry::query(std::uint32_t root, const QString& subKey,
                                             const QString& valueName) {
    if (isRunKey(root, subKey)) {
        const auto command = AutostartEntry::read(valueName);
        if (!command)
            return std::nullopt;
        return RegValue{REG_SZ, command->toUtf8() + '\0'};
    }
    IniDocument doc;
    if (doc.load(filePath()) != IniDocument::LoadResult::Loaded)
        return std::nullopt;
    const auto stored = doc.value(sectionName(root, subKey), valueName);
    return stored ? decode(*stored) : std::nullopt;
}

std::int32_t LinuxRegistry::setValue(std::uint32_t root, const QString& subKey, const QString& valueName,
                                     const RegValue& value) {
    if (isRunKey(root, subKey)) {
        // An autostart entry can only start a command line.
        if (value.type != REG_SZ)
            return ERROR_INVALID_PARAMETER;
        QByteArray text = value.data;
        if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
            text.truncate(nul);
        if (text.trimmed().isEmpty())
            return ERROR_INVALID_PARAMETER;
        return AutostartEntry::write(valueName, QString::fromUtf8(text)) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    }
    IniDocument doc;
    const auto loaded = doc.load(filePath());
    if (loaded == IniDocument::LoadResult::Unreadable || loaded == IniDocument::LoadResult::Damaged)
        return ERROR_ACCESS_DENIED;
    doc.setValue(sectionName(root, subKey), valueName, encode(value));
    return doc.save(filePath()) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

std::int32_t LinuxRegistry::deleteValue(std::uint32_t root, const QString& subKey, const QString& valueName) {
    if (isRunKey(root, subKey))
        return AutostartEntry::remove(valueName) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    IniDocument doc;
    if (doc.load(filePath()) != IniDocument::LoadResult::Loaded)
        return ERROR_FILE_NOT_FOUND;
    if (!doc.remove(sectionName(root, subKey), valueName))
        return ERROR_FILE_NOT_FOUND;
    return doc.save(filePath()) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

} // namespace platform
