#pragma once

#include "app/frmMain.h"
#include "browser/clsIEManager.h"
#include "platform/KeyState.h"
#include "platform/Platform.h"
#include "support/DesktopFakes.h"
#include "support/FakeWebBrowser.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
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

// A main window over fake browsers, keys, sound and dialogs, with its files in a temporary
// folder. The key poll is stopped so tests set the key flags themselves. The window is declared
// last so that it is destroyed first, while the fakes it uses still exist.
class FormFixture : public testing::Test {
protected:
    FormFixture() {
        QDir(folder.path()).mkpath(q("languages"));
        // Each test starts without settings.
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
    }

    // Creates the window and runs its load.
    void Load() {
        frmMain::Services services;
        services.makeIEManager = [this] { return std::make_unique<clsIEManager>(shell); };
        services.listFolder = folder.path();
        services.languageFolder = folder.filePath(q("languages"));
        form = std::make_unique<frmMain>(services);
        form->checkCtrl->stop();
        form->Form_Load();
        form->checkCtrl->stop();
    }
    void WriteLanguage(const QString& fileName, const QByteArray& contents) {
        writeBytes(folder.filePath(q("languages/") + fileName), contents);
    }
    void WriteSetting(const char* key, const char* value, const char* section = "General") {
        ASSERT_TRUE(platform::settings().SaveSetting(q("ZOR Brakkon"), QString::fromUtf8(section),
                                                     QString::fromUtf8(key), QString::fromUtf8(value)));
    }
    QString ReadSetting(const char* key, const char* section = "General") {
        return platform::settings().GetSetting(q("ZOR Brakkon"), QString::fromUtf8(section),
                                               QString::fromUtf8(key), q("<absent>"));
    }

    QTemporaryDir folder;
    ScopedScriptedDialogs dialogs;
    FakeShellWindows shell;
    ScopedService<platform::KeyState, HeldKeys, &platform::setKeyState> keys;
    ScopedFakeWavePlayer player;
    std::unique_ptr<frmMain> form;
};
