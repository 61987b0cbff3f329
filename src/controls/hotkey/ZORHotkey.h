#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>

// Registers system-wide key combinations for its host and reports each press as KeyPressed,
// always from its own timer and never from inside the native event handling.
class ZORHotkey : public QWidget {
    Q_OBJECT
public:
    explicit ZORHotkey(QWidget* parent = nullptr);
    ~ZORHotkey() override;

    // ValKeyCode is a virtual-key code (106 is the keypad's multiply key), valModifyer a set
    // of 1 Alt, 2 Ctrl, 4 Shift, 8 Super. False when the combination cannot be had.
    bool AsignNewHotKey(std::int32_t ValKeyCode, std::int32_t valModifyer = 0);
    void RemoveHotKeys();

signals:
    // The identifier of the pressed combination: 0 for the first registered, then 1, ...
    void KeyPressed(std::uint8_t ValKeyID);
    // A combination AsignNewHotKey got is refused after all (a desktop that asks the user).
    void KeyRefused(std::uint8_t ValKeyID);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void EventTimer_Timer();

    QTimer mtmrEventTimer;
};
