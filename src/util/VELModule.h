#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <optional>

class QWidget;

// Stateless routines for paths, files, folder listings, profile reads, registry values, the
// file dialog and opening things with the desktop. None of them reports an error: a failed
// step leaves its result at empty text, false or zero.
namespace VELModule {

inline constexpr QChar PathSeparator = QLatin1Char('/');

QString AppPath();
bool FileExists(const QString& FileName);
// Changes the process's current folder when it succeeds; callers rely on that.
bool FolderExists(const QString& FolderName);
QString GetPathPart(const QString& Path);
QString GetExtension(const QString& FileName, bool WithDot);
QString RemoveExtension(const QString& FileName);
QStringList GetFileList(const QString& Folder, const QString& Pattern);
QString ReadIniString(const QString& FileName, const QString& Section, const QString& Key,
                      const QString& Default);

QString GetRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName);
std::int32_t SetRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName,
                         std::int32_t ValueType, const QVariant& Value);
std::int32_t DeleteRegValue(std::uint32_t RootKey, const QString& SubKey, const QString& ValueName);

QString ShowFileDialog(const QString& Filter, QWidget* OwnerWindow, const QString& InitialDir,
                       const QString& Title, std::int32_t Flags, bool SaveDialog,
                       std::int32_t* FilterIndex = nullptr, const QString& FileName = QString());
// Above 32 on success.
std::int32_t ShellOpen(const QString& File, const QString& Directory, QWidget* OwnerWindow,
                       const QString& Parameters);

// Matches a file name against a pattern of '*' and '?' without regard to case, as a directory
// search does ("*.*" also matches names without a dot).
bool WildcardMatch(const QString& Name, const QString& Pattern);

} // namespace VELModule

namespace App {
inline const QString Title = QStringLiteral("ZOR Brakkon");
// The program's own documentation, installed beside it (the project owns no web address to send
// users to), as a file:// address for both the About tab and the tray control's about box.
QString DocumentationUrl();
} // namespace App
