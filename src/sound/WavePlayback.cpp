#include "sound/WavePlayback.h"

#include "platform/Platform.h"
#include "platform/WavePlayer.h"
#include "util/VELModule.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcSound, "zor.sound", QtWarningMsg)

namespace VELModule {

namespace {
// True from the moment the warning is queued until the user has closed it: a storm of popups
// must not stack one box per popup.
bool mblnWarningPending = false;

void WarnNoSoundDevice() {
    qCWarning(lcSound, "no sound output available");
    if (mblnWarningPending)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    mblnWarningPending = true;
    // Shown after the caller has returned: played from the popup decision, a modal box would
    // keep the popup held and the user's page frozen until it is closed.
    QMetaObject::invokeMethod(
        app,
        [] {
            platform::dialogs().messageBox(nullptr, NoSoundDeviceText, platform::MsgIcon::Exclamation,
                                           platform::MsgButtons::Ok, App::Title);
            mblnWarningPending = false;
        },
        Qt::QueuedConnection);
}
} // namespace

void PlayWave(const QVariant& ResourceId, const QString& ResourceType, const QString& FileName, bool Wait,
              bool Loop, bool NoStop, bool NoDefault) {
    auto& player = platform::wavePlayer();
    if (!player.hasOutputDevice()) {
        WarnNoSoundDevice();
        return;
    }
    if (!FileName.isEmpty()) {
        platform::WavePlayer::Options options;
        options.wait = Wait;
        options.loop = Loop;
        options.noStop = NoStop;
        options.noDefault = NoDefault;
        // A server that went away since the last sound is found only by trying to play.
        if (!player.play(FileName, options) && !player.hasOutputDevice())
            WarnNoSoundDevice();
        return;
    }
    if (ResourceId.toInt() > 0 && !ResourceType.isEmpty())
        qCInfo(lcSound, "the program carries no built-in sounds: resource %d of type %s not played",
               ResourceId.toInt(), qUtf8Printable(ResourceType));
}

void StopWave() {
    platform::wavePlayer().stop();
}

} // namespace VELModule
