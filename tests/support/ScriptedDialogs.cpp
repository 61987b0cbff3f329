#include "support/ScriptedDialogs.h"

#include "platform/Platform.h"

namespace {
template <typename T> T take(std::deque<T>& answers, T fallback) {
    if (answers.empty())
        return fallback;
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}
} // namespace

platform::MsgAnswer ScriptedDialogs::messageBox(QWidget*, const QString& prompt, platform::MsgIcon icon,
                                                platform::MsgButtons buttons, const QString& title) {
    messages.append({prompt, icon, buttons, title});
    return take(messageAnswers, platform::MsgAnswer::Ok);
}

std::optional<QString> ScriptedDialogs::inputBox(QWidget*, const QString& prompt, const QString&,
                                                 const QString&) {
    inputPrompts.append(prompt);
    if (inputAnswers.empty())
        return std::nullopt;
    const bool given = inputAnswers.front().has_value();
    const QString text = given ? *inputAnswers.front() : QString();
    inputAnswers.pop_front();
    return given ? std::optional<QString>(text) : std::nullopt;
}

platform::FileDialogResult ScriptedDialogs::fileDialog(const platform::FileDialogRequest& request) {
    fileRequests.append(request);
    return take(fileAnswers, platform::FileDialogResult{});
}

bool ScriptedDialogs::shellOpen(QWidget*, const QString& file, const QString& directory,
                                const QString& parameters) {
    opened.append({file, directory, parameters});
    return shellOpenSucceeds;
}

ScopedScriptedDialogs::ScopedScriptedDialogs() {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    m_dialogs = dialogs.get();
    m_previous = platform::setDialogs(std::move(dialogs));
}

ScopedScriptedDialogs::~ScopedScriptedDialogs() {
    platform::setDialogs(std::move(m_previous));
}
