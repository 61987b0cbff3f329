#pragma once

#include "platform/Dialogs.h"

namespace platform {

class QtDialogs final : public Dialogs {
public:
    MsgAnswer messageBox(QWidget* owner, const QString& prompt, MsgIcon icon, MsgButtons buttons,
                         const QString& title) override;
    std::optional<QString> inputBox(QWidget* owner, const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    FileDialogResult fileDialog(const FileDialogRequest& request) override;
    bool shellOpen(QWidget* owner, const QString& file, const QString& directory,
                   const QString& parameters) override;
};

} // namespace platform
