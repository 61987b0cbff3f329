#include "FormFixture.h"

#include "browser/clsIEManager.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QTimer>

FormFixture::FormFixture() {
    auto heldKeys = std::make_unique<HeldKeys>();
    keys = heldKeys.get();
    m_previousKeys = platform::setKeyState(std::move(heldKeys));
    auto recorder = std::make_unique<RecordingPlayer>();
    player = recorder.get();
    m_previousPlayer = platform::setWavePlayer(std::move(recorder));
    QDir(folder.path()).mkpath(QStringLiteral("languages"));
    // Each test starts without settings.
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
}

FormFixture::~FormFixture() {
    form.reset();
    platform::setKeyState(std::move(m_previousKeys));
    platform::setWavePlayer(std::move(m_previousPlayer));
}

std::unique_ptr<frmMain> FormFixture::MakeForm() {
    frmMain::Services services;
    services.makeIEManager = [this] { return std::make_unique<clsIEManager>(shell); };
    services.listFolder = folder.path();
    services.languageFolder = folder.filePath(QStringLiteral("languages"));
    auto made = std::make_unique<frmMain>(services);
    made->checkCtrl->stop();
    return made;
}

void FormFixture::Load() {
    form = MakeForm();
    form->Form_Load();
    form->checkCtrl->stop();
}

void FormFixture::WriteLanguage(const QString& fileName, const QByteArray& contents) {
    QFile file(folder.filePath(QStringLiteral("languages/") + fileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

void FormFixture::WriteSetting(const char* key, const char* value, const char* section) {
    ASSERT_TRUE(platform::settings().SaveSetting(QStringLiteral("ZOR Brakkon"), QString::fromUtf8(section),
                                                 QString::fromUtf8(key), QString::fromUtf8(value)));
}

QString FormFixture::ReadSetting(const char* key, const char* section) {
    return platform::settings().GetSetting(QStringLiteral("ZOR Brakkon"), QString::fromUtf8(section),
                                           QString::fromUtf8(key), QStringLiteral("<absent>"));
}
