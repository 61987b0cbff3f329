#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace platform {

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
// Numbered as the answers the program's callers compare against.
enum class MsgAnswer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct FileDialogRequest {
    // Pairs of description and pattern, in order ("*.wav", "*.wav").
    QList<std::pair<QString, QString>> filters;
    QWidget* owner = nullptr;
    QString initialDir;
    QString title;
    qint32 flags = 0;
    bool save = false;
    QString fileName;
};

struct FileDialogResult {
    bool accepted = false;
    QString path;
    qint32 filterIndex = 0; // 1-based, 0 when the dialog reported none
};

// Everything that asks the user something or hands a target to the desktop. Tests answer
// through a scripted implementation.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgAnswer messageBox(QWidget* owner, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                                 const QString& title) = 0;
    // std::nullopt when the user cancelled.
    virtual std::optional<QString> inputBox(QWidget* owner, const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    virtual FileDialogResult fileDialog(const FileDialogRequest& request) = 0;
    // Opens a document, folder or web address with the desktop's handler; true on success.
    virtual bool shellOpen(QWidget* owner, const QString& file, const QString& directory,
                           const QString& parameters) = 0;
};

} // namespace platform
