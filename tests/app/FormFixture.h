#pragma once

#include "app/frmMain.h"
#include "platform/KeyState.h"
#include "platform/WavePlayer.h"
#include "support/FakeWebBrowser.h"
#include "support/ScriptedDialogs.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// Keys held, as a test says.
class HeldKeys final : public platform::KeyState {
public:
    bool ctrl = false;
    bool shift = false;
    std::int16_t GetKeyState(std::int32_t virtualKey) override {
        const bool down = (virtualKey == 17 && ctrl) || (virtualKey == 16 && shift);
        return down ? std::int16_t(0x8000) : std::int16_t(0);
    }
};

// Records what would have been played.
class RecordingPlayer final : public platform::WavePlayer {
public:
    QStringList played;
    int stops = 0;
    bool hasOutputDevice() override { return true; }
    bool play(const QString& fileName, const Options&) override {
        played << fileName;
        return true;
    }
    void stop() override { ++stops; }
    bool isPlaying() const override { return false; }
};

// A main window over fake browsers, keys, sound and dialogs, with its files in a temporary
// folder. The key poll is stopped so tests set the key flags themselves.
class FormFixture : public testing::Test {
protected:
    FormFixture();
    ~FormFixture() override;

    // Creates the window and runs its load.
    void Load();
    std::unique_ptr<frmMain> MakeForm();
    void WriteLanguage(const QString& fileName, const QByteArray& contents);
    void WriteSetting(const char* key, const char* value, const char* section = "General");
    QString ReadSetting(const char* key, const char* section = "General");

    QTemporaryDir folder;
    ScopedScriptedDialogs dialogs;
    FakeShellWindows shell;
    HeldKeys* keys = nullptr;
    RecordingPlayer* player = nullptr;
    std::unique_ptr<frmMain> form;

private:
    std::unique_ptr<platform::KeyState> m_previousKeys;
    std::unique_ptr<platform::WavePlayer> m_previousPlayer;
};
