#include "controls/hotkey/ZORHotkey.h"

#include "controls/hotkey/ZORHotKeyModule.h"

namespace {
constexpr int FixedSide = 32;
constexpr int EventInterval = 50;
} // namespace

ZORHotkey::ZORHotkey(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(FixedSide, FixedSide);
    // Loading the control starts the identifiers at 0 and starts reporting presses: the timer
    // runs while something waits to be reported (a first tick reports what came before).
    ZORHotKeyModule::ResetIdentifiers();
    mtmrEventTimer.setInterval(EventInterval);
    connect(&mtmrEventTimer, &QTimer::timeout, this, &ZORHotkey::EventTimer_Timer);
    connect(&ZORHotKeyModule::Notifier(), &ZORHotKeyModule::PendingNotifier::Pending, this, [this] {
        if (!mtmrEventTimer.isActive())
            mtmrEventTimer.start();
    });
    mtmrEventTimer.start();
}

ZORHotkey::~ZORHotkey() {
    RemoveHotKeys();
}

bool ZORHotkey::AsignNewHotKey(std::int32_t ValKeyCode, std::int32_t valModifyer) {
    return ZORHotKeyModule::RegisterWindowHotKey(reinterpret_cast<quintptr>(this), ValKeyCode, valModifyer);
}

void ZORHotkey::RemoveHotKeys() {
    ZORHotKeyModule::UnregisterWindowHotKeys();
}

void ZORHotkey::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (width() != FixedSide || height() != FixedSide)
        resize(FixedSide, FixedSide);
}

void ZORHotkey::EventTimer_Timer() {
    std::uint8_t id = 0;
    bool reported = false;
    if (ZORHotKeyModule::TakePendingPress(id)) {
        reported = true;
        emit KeyPressed(id);
    }
    if (ZORHotKeyModule::TakePendingRefusal(id)) {
        reported = true;
        emit KeyRefused(id);
    }
    if (!reported)
        mtmrEventTimer.stop(); // nothing waited this tick: idle until the next press
}
