#include "controls/hotkey/ZORHotKeyModule.h"

#include "platform/HotKeySource.h"

#include <QLoggingCategory>
#include <QPointer>
#include <limits>

Q_LOGGING_CATEGORY(lcHotkey, "zor.hotkey", QtWarningMsg)

namespace ZORHotKeyModule {

namespace {
bool mblnHotkeyPressed = false;
std::uint8_t mbytHotkeyID = 0;
quintptr mlngHwnd = 0;
std::int32_t mlngLastID = -1;
bool mblnSubclassed = false;
bool mblnRegistered = false;
// The source the presses are taken from; a test may put another in place between runs, so the
// connection follows whichever source took the last registration.
QPointer<platform::HotKeySource> mobjSource;
QMetaObject::Connection mobjConnection;
QMetaObject::Connection mobjRefusals;
bool mblnRefused = false;
std::uint8_t mbytRefusedID = 0;

void Subclass(platform::HotKeySource& source) {
    // A guarded pointer: a replaced source may be given the address of the one before it.
    if (mblnSubclassed && mobjSource == &source)
        return;
    QObject::disconnect(mobjConnection);
    QObject::disconnect(mobjRefusals);
    mobjConnection = QObject::connect(&source, &platform::HotKeySource::activated, &source, &HotKeyArrived);
    mobjRefusals = QObject::connect(&source, &platform::HotKeySource::refused, &source, &HotKeyRefused);
    mobjSource = &source;
    mblnSubclassed = true;
}
} // namespace

bool RegisterWindowHotKey(quintptr Hwnd, std::int32_t KeyCode, std::int32_t Modifiers) {
    if (mlngLastID == std::numeric_limits<std::int32_t>::max()) {
        qCWarning(lcHotkey, "no hot-key identifier left");
        return false;
    }
    ++mlngLastID;
    auto& source = platform::hotKeySource();
    mblnRegistered = source.grab(mlngLastID, KeyCode, Modifiers);
    if (!mblnRegistered) {
        // The identifier is handed out again next time.
        --mlngLastID;
        qCInfo(lcHotkey, "key %d with modifiers %d could not be registered", KeyCode, Modifiers);
        return false;
    }
    Subclass(source);
    if (mlngHwnd == 0)
        mlngHwnd = Hwnd;
    return true;
}

void UnregisterWindowHotKeys() {
    if (mlngHwnd == 0)
        return;
    auto& source = platform::hotKeySource();
    for (std::int32_t id = 0; id <= mlngLastID; ++id)
        source.release(id);
    mlngLastID = -1;
}

void ResetIdentifiers() {
    mlngLastID = -1;
}

PendingNotifier& Notifier() {
    static PendingNotifier notifier;
    return notifier;
}

void HotKeyArrived(std::int32_t Id) {
    mblnHotkeyPressed = true;
    // An identifier that does not fit a byte leaves the previous one standing.
    if (Id >= 0 && Id <= std::numeric_limits<std::uint8_t>::max())
        mbytHotkeyID = static_cast<std::uint8_t>(Id);
    emit Notifier().Pending();
}

bool TakePendingPress(std::uint8_t& Id) {
    if (!mblnHotkeyPressed)
        return false;
    mblnHotkeyPressed = false;
    Id = mbytHotkeyID;
    mbytHotkeyID = 0;
    return true;
}

void HotKeyRefused(std::int32_t Id) {
    mblnRegistered = false;
    if (Id < 0 || Id > std::numeric_limits<std::uint8_t>::max())
        return;
    mblnRefused = true;
    mbytRefusedID = static_cast<std::uint8_t>(Id);
    emit Notifier().Pending();
}

bool TakePendingRefusal(std::uint8_t& Id) {
    if (!mblnRefused)
        return false;
    mblnRefused = false;
    Id = mbytRefusedID;
    return true;
}

std::int32_t LastID() {
    return mlngLastID;
}

bool LastRegistrationSucceeded() {
    return mblnRegistered;
}

} // namespace ZORHotKeyModule
