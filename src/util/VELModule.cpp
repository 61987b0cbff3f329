#include "util/VELModule.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/common/PrivateProfile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace VELModule {

namespace {
constexpr qsizetype ProfileBufferChars = 2047;
constexpr qsizetype RegBufferBytes = 2048;
constexpr qsizetype FileNameChars = 254;
} // namespace

QString AppPath() {
    QString folder = QFileInfo(platform::executablePath()).absolutePath();
    if (!folder.endsWith(PathSeparator))
        folder += PathSeparator;
    return folder;
}

bool FolderExists(const QString& FolderName) {
    return !FolderName.isEmpty() && QDir::setCurrent(FolderName);
}

bool FileExists(const QString& FileName) {
    if (FolderExists(FileName))
        return false;
    if (FileName.isEmpty() || FileName.contains(QLatin1Char('*')) || FileName.contains(QLatin1Char('?')))
        return false;
    const QFileInfo info(FileName);
    return info.exists() && !info.isDir();
}

QString GetPathPart(const QString& Path) {
    if (Path.endsWith(PathSeparator))
        return Path;
    const qsizetype slash = Path.lastIndexOf(PathSeparator);
    return slash < 0 ? Path : Path.left(slash + 1);
}

QString GetExtension(const QString& FileName, bool WithDot) {
    const qsizetype slash = FileName.lastIndexOf(PathSeparator);
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    if (slash > dot)
        return QString();
    if (dot >= 0)
        return (WithDot ? QStringLiteral(".") : QString()) + FileName.mid(dot + 1);
    return WithDot ? QLatin1Char('.') + FileName : FileName;
}

QString RemoveExtension(const QString& FileName) {
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : FileName.left(dot);
}

// Matched by hand rather than through a regular expression: it runs at every start, and a
// resident program should not map and compile a regex engine just to list its language files.
bool WildcardMatch(const QString& Name, const QString& Pattern) {
    QStringView pattern(Pattern);
    // A trailing ".*" also matches names without any extension.
    if (pattern.endsWith(QLatin1String(".*")) && !Name.contains(QLatin1Char('.')))
        pattern.chop(2);
    const QStringView name(Name);
    // '*' runs as few characters as it can; on a mismatch the last '*' takes one more.
    qsizetype n = 0, p = 0, star = -1, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (star >= 0) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

QStringList GetFileList(const QString& Folder, const QString& Pattern) {
    QString folder = Folder;
    if (!folder.endsWith(PathSeparator))
        folder += PathSeparator;
    const QString pattern = Pattern.isEmpty() ? QStringLiteral("*.*") : Pattern;
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        // Ordinary files only: no hidden files, no sockets, pipes or devices.
        if (info.fileName().startsWith(QLatin1Char('.')) || !info.isFile())
            continue;
        if (WildcardMatch(info.fileName(), pattern))
            names << info.fileName();
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byCase = a.compare(b, Qt::CaseInsensitive);
        return byCase != 0 ? byCase < 0 : a < b;
    });
    return names;
}

QString ReadIniString(const QString& FileName, const QString& Section, const QString& Key,
                      const QString& Default) {
    return platform::PrivateProfile::readString(FileName, Section, Key, Default).left(ProfileBufferChars);
}

QString GetRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName) {
    const auto value = platform::registry().query(RootKey, SubKey, ValueName);
    if (!value || value->data.size() > RegBufferBytes)
        return QString();
    const QByteArray& data = value->data;
    switch (value->type) {
    case platform::REG_DWORD: {
        quint32 number = 0;
        for (qsizetype i = 0; i < std::min<qsizetype>(4, data.size()); ++i)
            number |= quint32(quint8(data[i])) << (8 * i);
        return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    }
    case platform::REG_BINARY:
        return QString::fromLatin1(data.toHex().toUpper());
    default: {
        // The text as it stands in a buffer pre-filled with blanks: trimmed, cut at its NUL.
        const QString text = QString::fromUtf8(data.leftJustified(RegBufferBytes, ' '));
        qsizetype first = 0;
        qsizetype last = text.size();
        while (first < last && text[first] == u' ')
            ++first;
        while (last > first && text[last - 1] == u' ')
            --last;
        const QString trimmed = text.mid(first, last - first);
        const qsizetype nul = trimmed.indexOf(QChar(0));
        return nul < 0 ? trimmed : trimmed.left(nul);
    }
    }
}

std::int32_t SetRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName,
                         std::int32_t ValueType, const QVariant& Value) {
    platform::RegValue value;
    value.type = static_cast<std::uint32_t>(ValueType);
    switch (ValueType) {
    case platform::REG_DWORD: {
        bool ok = false;
        const double number = Value.toDouble(&ok);
        const double rounded = std::nearbyint(number);
        if (!ok || rounded < -2147483648.0 || rounded > 2147483647.0)
            return platform::ERROR_INVALID_PARAMETER;
        const auto bits = static_cast<quint32>(static_cast<std::int32_t>(rounded));
        for (int i = 0; i < 4; ++i)
            value.data.append(char((bits >> (8 * i)) & 0xFF));
        break;
    }
    case platform::REG_SZ:
        value.data = Value.toString().toUtf8() + '\0';
        break;
    case platform::REG_BINARY:
        value.data = Value.toByteArray();
        break;
    default:
        return platform::ERROR_INVALID_PARAMETER;
    }
    // The status of the write itself: a value that was not stored must not read as success.
    return platform::registry().setValue(RootKey, SubKey, ValueName, value);
}

std::int32_t DeleteRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName) {
    return platform::registry().deleteValue(RootKey, SubKey, ValueName);
}

QString ShowFileDialog(const QString& Filter, QWidget* OwnerWindow, const QString& InitialDir,
                       const QString& Title, std::int32_t Flags, bool SaveDialog, std::int32_t* FilterIndex,
                       const QString& FileName) {
    platform::FileDialogRequest request;
    const QStringList parts = Filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty() || !parts[i + 1].isEmpty())
            request.filters.append({parts[i], parts[i + 1]});
    request.owner = OwnerWindow;
    request.initialDir = InitialDir;
    request.title = Title.isEmpty() ? App::Title : Title;
    request.flags = Flags;
    request.save = SaveDialog;
    request.fileName = FileName.left(FileNameChars);
    const platform::FileDialogResult result = platform::dialogs().fileDialog(request);
    if (FilterIndex)
        *FilterIndex = result.filterIndex;
    if (!result.accepted)
        return QString();
    QString path = result.path;
    path.remove(QChar(0));
    return path.trimmed();
}

std::int32_t ShellOpen(const QString& File, const QString& Directory, QWidget* OwnerWindow,
                       const QString& Parameters) {
    // The numbers the callers know: above 32 is success, 2 is "not found".
    constexpr std::int32_t opened = 42;
    constexpr std::int32_t notFound = 2;
    return platform::dialogs().shellOpen(OwnerWindow, File, Directory, Parameters) ? opened : notFound;
}

} // namespace VELModule

QString App::DocumentationUrl() {
    return QUrl::fromLocalFile(VELModule::AppPath() + QStringLiteral("README.md")).toString();
}
