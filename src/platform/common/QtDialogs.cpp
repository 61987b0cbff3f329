#include "platform/common/QtDialogs.h"

#include "platform/Log.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

QMessageBox::Icon toQt(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MsgAnswer fromQt(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return MsgAnswer::Ok;
    case QMessageBox::Abort:
        return MsgAnswer::Abort;
    case QMessageBox::Retry:
        return MsgAnswer::Retry;
    case QMessageBox::Ignore:
        return MsgAnswer::Ignore;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Cancel;
    }
}

} // namespace

MsgAnswer QtDialogs::messageBox(QWidget* owner, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                                const QString& title) {
    QMessageBox box(toQt(icon), title, prompt, toQt(buttons), owner);
    return fromQt(box.exec());
}

std::optional<QString> QtDialogs::inputBox(QWidget* owner, const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    bool ok = false;
    QString text = QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

FileDialogResult QtDialogs::fileDialog(const FileDialogRequest& request) {
    QStringList nameFilters;
    for (const auto& [description, pattern] : request.filters) {
        QString patterns = pattern;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        nameFilters << (description.contains(pattern)
                            ? description
                            : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    QFileDialog dialog(request.owner, request.title, request.initialDir);
    dialog.setNameFilters(nameFilters);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The caller's "file must exist" flag; saving never needs an existing file.
    constexpr qint32 fileMustExist = 0x1000;
    dialog.setFileMode(!request.save && (request.flags & fileMustExist) ? QFileDialog::ExistingFile
                                                                        : QFileDialog::AnyFile);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return result;
    result.accepted = true;
    result.path = dialog.selectedFiles().constFirst();
    result.filterIndex = static_cast<qint32>(nameFilters.indexOf(dialog.selectedNameFilter()) + 1);
    return result;
}

bool QtDialogs::shellOpen(QWidget*, const QString& file, const QString& directory,
                          const QString& parameters) {
    const QFileInfo local(QDir(directory.isEmpty() ? QDir::currentPath() : directory), file);
    if (!parameters.isEmpty() && local.isFile() && local.isExecutable())
        return QProcess::startDetached(local.absoluteFilePath(), QProcess::splitCommand(parameters),
                                       directory.isEmpty() ? QString() : directory);
    const QUrl url =
        local.exists() ? QUrl::fromLocalFile(local.absoluteFilePath()) : QUrl::fromUserInput(file);
    if (!url.isValid()) {
        qCWarning(lcPlatform, "cannot open \"%s\": not a valid address", qUtf8Printable(file));
        return false;
    }
    const bool opened = QDesktopServices::openUrl(url);
    if (!opened)
        qCWarning(lcPlatform, "the desktop could not open %s", qUtf8Printable(url.toString()));
    return opened;
}

} // namespace platform
