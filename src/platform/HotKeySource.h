#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

namespace platform {

// System-wide key combinations. A combination is known by the identifier its caller chose;
// a press of it is reported through activated(), on the GUI thread.
class HotKeySource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HotKeySource() override = default;

    // virtualKey is a Windows-style virtual-key code; modifiers a set of 1 Alt, 2 Ctrl, 4 Shift,
    // 8 Super. False when the combination cannot be had: another client holds it, the key has
    // no equivalent here, or there is no global keyboard at all. A refused grab leaves nothing
    // grabbed behind.
    virtual bool grab(std::int32_t id, std::int32_t virtualKey, std::int32_t modifiers) = 0;
    // Gives the combination back; an unknown identifier is ignored.
    virtual void release(std::int32_t id) = 0;

signals:
    void activated(std::int32_t id);
    // A combination grab() took is refused after all (a desktop that asks the user first, say);
    // it is no longer held.
    void refused(std::int32_t id);
};

// Refuses every combination; used where the display system allows no global grabs.
class NoHotKeys final : public HotKeySource {
    Q_OBJECT
public:
    using HotKeySource::HotKeySource;
    bool grab(std::int32_t, std::int32_t, std::int32_t) override { return false; }
    void release(std::int32_t) override {}
};

HotKeySource& hotKeySource();
std::unique_ptr<HotKeySource> setHotKeySource(std::unique_ptr<HotKeySource> replacement);

} // namespace platform
