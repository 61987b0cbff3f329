#pragma once

// Stand-ins for the desktop services, for tests of the code above them: install one with the
// Scoped* helpers, drive it, and read back what the code under test asked for.

#include "platform/Dialogs.h"
#include "platform/HotKeySource.h"
#include "platform/Platform.h"
#include "platform/TrayHost.h"
#include "platform/WavePlayer.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

class FakeHotKeySource final : public platform::HotKeySource {
    Q_OBJECT
public:
    struct Combination {
        std::int32_t virtualKey;
        std::int32_t modifiers;
        friend bool operator==(const Combination&, const Combination&) = default;
    };
    QList<Combination> heldElsewhere; // refused as if another program had them
    QHash<std::int32_t, Combination> grabbed;
    QList<std::int32_t> released;

    bool grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) override {
        if (heldElsewhere.contains(Combination{virtualKey, modifiers}))
            return false;
        grabbed.insert(id, {virtualKey, modifiers});
        return true;
    }
    void release(std::int32_t id) override {
        released.append(id);
        grabbed.remove(id);
    }
    void press(std::int32_t id) { emit activated(id); }
    void refuse(std::int32_t id) { emit refused(id); }
};

class FakeWavePlayer final : public platform::WavePlayer {
    Q_OBJECT
public:
    struct Played {
        QString fileName;
        Options options;
    };
    bool device = true;
    bool playing = false;
    QList<Played> played;
    int stops = 0;

    bool hasOutputDevice() override { return device; }
    bool play(const QString& fileName, const Options& options) override {
        if (options.noStop && playing)
            return false;
        played.append({fileName, options});
        playing = true;
        return true;
    }
    void stop() override {
        ++stops;
        playing = false;
    }
    bool isPlaying() const override { return playing; }
    QStringList files() const {
        QStringList names;
        for (const Played& one : played)
            names << one.fileName;
        return names;
    }
};

class FakeTrayHostWatch final : public platform::TrayHostWatch {
public:
    qulonglong host = 0;
    qulonglong trayHost() override { return host; }
};

// Records every operation the control performs on its icon.
class FakeNotifyIcon final : public platform::NotifyIcon {
    Q_OBJECT
public:
    struct Log {
        QPixmap icon;
        QString tip;
        QList<QString> operations; // "add", "icon", "tip", "remove", "message <title>:<text>"
    };
    explicit FakeNotifyIcon(std::shared_ptr<Log> log)
        : m_log(std::move(log)) {}
    void add(const QPixmap& icon, const QString& tip) override {
        m_log->icon = icon;
        m_log->tip = tip;
        m_log->operations.append(QStringLiteral("add"));
    }
    void modifyIcon(const QPixmap& icon) override {
        m_log->icon = icon;
        m_log->operations.append(QStringLiteral("icon"));
    }
    void modifyTip(const QString& tip) override {
        m_log->tip = tip;
        m_log->operations.append(QStringLiteral("tip"));
    }
    void remove() override { m_log->operations.append(QStringLiteral("remove")); }
    void showMessage(const QString& title, const QString& text) override {
        m_log->operations.append(QStringLiteral("message ") + title + u':' + text);
    }

private:
    std::shared_ptr<Log> m_log;
};

// Answers the program's questions from a script and records what was asked.
class ScriptedDialogs final : public platform::Dialogs {
public:
    struct Message {
        QString prompt;
        platform::MsgButtons buttons;
    };

    std::deque<platform::MsgAnswer> messageAnswers;     // default: Ok
    std::deque<std::optional<QString>> inputAnswers;    // default: cancelled
    std::deque<platform::FileDialogResult> fileAnswers; // default: cancelled
    bool shellOpenSucceeds = true;
    std::function<void()> whileAsked = [] {}; // runs while a message box is up, as a user acting then

    QList<Message> messages;
    QList<platform::FileDialogRequest> fileRequests;
    QList<QString> opened; // the files handed to the desktop

    platform::MsgAnswer messageBox(QWidget*, const QString& prompt, platform::MsgIcon,
                                   platform::MsgButtons buttons, const QString&) override {
        messages.append({prompt, buttons});
        whileAsked();
        return next(messageAnswers, platform::MsgAnswer::Ok);
    }
    std::optional<QString> inputBox(QWidget*, const QString&, const QString&, const QString&) override {
        // Not through next(): GCC then takes a moved-from optional text for uninitialised.
        if (inputAnswers.empty())
            return std::nullopt;
        const std::optional<QString> answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }
    platform::FileDialogResult fileDialog(const platform::FileDialogRequest& request) override {
        fileRequests.append(request);
        return next(fileAnswers, platform::FileDialogResult{});
    }
    bool shellOpen(QWidget*, const QString& file, const QString&, const QString&) override {
        opened.append(file);
        return shellOpenSucceeds;
    }

private:
    template <typename T> static T next(std::deque<T>& answers, T fallback) {
        if (answers.empty())
            return fallback;
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

// Puts a service in place for the life of the object and the previous one back afterwards.
template <typename Service, typename Fake, auto Set> class ScopedService {
public:
    ScopedService()
        : m_fake(new Fake)
        , m_previous(Set(std::unique_ptr<Service>(m_fake))) {}
    ~ScopedService() { Set(std::move(m_previous)); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;
    Fake* operator->() { return m_fake; }

private:
    Fake* m_fake; // owned by the service slot
    std::unique_ptr<Service> m_previous;
};

using ScopedFakeHotKeys = ScopedService<platform::HotKeySource, FakeHotKeySource, &platform::setHotKeySource>;
using ScopedFakeWavePlayer = ScopedService<platform::WavePlayer, FakeWavePlayer, &platform::setWavePlayer>;
using ScopedFakeTrayHost =
    ScopedService<platform::TrayHostWatch, FakeTrayHostWatch, &platform::setTrayHostWatch>;
using ScopedScriptedDialogs = ScopedService<platform::Dialogs, ScriptedDialogs, &platform::setDialogs>;

// Every icon made while this lives is a FakeNotifyIcon writing into log().
class ScopedFakeNotifyIcons {
public:
    ScopedFakeNotifyIcons()
        : m_log(std::make_shared<FakeNotifyIcon::Log>())
        , m_previous(platform::setNotifyIconFactory(
              [log = m_log] { return std::make_unique<FakeNotifyIcon>(log); })) {}
    ~ScopedFakeNotifyIcons() { platform::setNotifyIconFactory(std::move(m_previous)); }
    FakeNotifyIcon::Log& log() { return *m_log; }

private:
    std::shared_ptr<FakeNotifyIcon::Log> m_log;
    platform::NotifyIconFactory m_previous;
};
