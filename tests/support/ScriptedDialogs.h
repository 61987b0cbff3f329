#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <deque>
#include <memory>

// Answers the program's questions from a script and records what was asked.
class ScriptedDialogs final : public platform::Dialogs {
public:
    struct Message {
        QString prompt;
        platform::MsgIcon icon;
        platform::MsgButtons buttons;
        QString title;
    };
    struct OpenRequest {
        QString file;
        QString directory;
        QString parameters;
    };

    std::deque<platform::MsgAnswer> messageAnswers;     // default: Ok
    std::deque<std::optional<QString>> inputAnswers;    // default: cancelled
    std::deque<platform::FileDialogResult> fileAnswers; // default: cancelled
    bool shellOpenSucceeds = true;

    QList<Message> messages;
    QList<QString> inputPrompts;
    QList<platform::FileDialogRequest> fileRequests;
    QList<OpenRequest> opened;

    platform::MsgAnswer messageBox(QWidget* owner, const QString& prompt, platform::MsgIcon icon,
                                   platform::MsgButtons buttons, const QString& title) override;
    std::optional<QString> inputBox(QWidget* owner, const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    platform::FileDialogResult fileDialog(const platform::FileDialogRequest& request) override;
    bool shellOpen(QWidget* owner, const QString& file, const QString& directory,
                   const QString& parameters) override;
};

// Installs a ScriptedDialogs for the life of the object and puts the previous one back.
class ScopedScriptedDialogs {
public:
    ScopedScriptedDialogs();
    ~ScopedScriptedDialogs();
    ScriptedDialogs* operator->() { return m_dialogs; }
    ScriptedDialogs& operator*() { return *m_dialogs; }

private:
    ScriptedDialogs* m_dialogs;
    std::unique_ptr<platform::Dialogs> m_previous;
};
