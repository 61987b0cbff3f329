#pragma once

#include <QObject>
#include <QtGlobal>
#include <cstdint>

// Process-wide registration state shared by every ZORHotkey: identifiers handed out, the
// owner of the registrations and the one pending press.
namespace ZORHotKeyModule {

// Registers the combination under the next identifier; a refusal gives the identifier back.
bool RegisterWindowHotKey(quintptr Hwnd, std::int32_t KeyCode, std::int32_t Modifiers);
// Gives back every identifier handed out so far and starts counting again at 0.
void UnregisterWindowHotKeys();
// Starts the identifiers again at 0 (a control loading itself).
void ResetIdentifiers();

// Records a press for the next timer tick; a later press before that tick replaces it.
void HotKeyArrived(std::int32_t Id);
// Takes the pending press, if any.
bool TakePendingPress(std::uint8_t& Id);
// Records that the desktop took back a registration it had accepted, for the next timer tick.
void HotKeyRefused(std::int32_t Id);
// Takes the pending refusal, if any.
bool TakePendingRefusal(std::uint8_t& Id);

// Announces each press or refusal recorded for the next tick, so that a control with nothing
// to report can leave its timer stopped instead of waking the program twenty times a second.
class PendingNotifier : public QObject {
    Q_OBJECT
signals:
    void Pending();
};
PendingNotifier& Notifier();

// The highest identifier handed out, -1 when none.
std::int32_t LastID();
bool LastRegistrationSucceeded();

} // namespace ZORHotKeyModule
