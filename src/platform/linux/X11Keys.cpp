#include "platform/linux/X11Keys.h"

#include "platform/Platform.h"

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <xcb/xcb_keysyms.h>

namespace platform::x11 {

namespace {
// Key symbols from X11/keysymdef.h, by the virtual-key code that names the same key.
struct Range {
    std::int32_t firstKey;
    std::int32_t lastKey;
    xcb_keysym_t firstSym;
};
constexpr Range Ranges[] = {
    {0x30, 0x39, 0x0030}, // digits
    {0x41, 0x5A, 0x0061}, // letters: the unshifted symbol is what the keyboard map lists first
    {0x60, 0x69, 0xffb0}, // KP_0 .. KP_9
    {0x70, 0x87, 0xffbe}, // F1 .. F24
    {0x25, 0x28, 0xff51}, // Left, Up, Right, Down
};
struct Single {
    std::int32_t key;
    xcb_keysym_t sym;
    xcb_keysym_t otherSym;
};
constexpr Single Singles[] = {
    {0x08, 0xff08, 0},      {0x09, 0xff09, 0},      {0x0D, 0xff0d, 0xff8d}, {0x10, 0xffe1, 0xffe2},
    {0x11, 0xffe3, 0xffe4}, {0x12, 0xffe9, 0xffea}, {0x13, 0xff13, 0},      {0x14, 0xffe5, 0},
    {0x1B, 0xff1b, 0},      {0x20, 0x0020, 0},      {0x21, 0xff55, 0},      {0x22, 0xff56, 0},
    {0x23, 0xff57, 0},      {0x24, 0xff50, 0},      {0x2C, 0xff61, 0},      {0x2D, 0xff63, 0},
    {0x2E, 0xffff, 0},      {0x5B, 0xffeb, 0},      {0x5C, 0xffec, 0},      {0x5D, 0xff67, 0},
    {0x6A, 0xffaa, 0},      {0x6B, 0xffab, 0},      {0x6C, 0xffac, 0},      {0x6D, 0xffad, 0},
    {0x6E, 0xffae, 0},      {0x6F, 0xffaf, 0},      {0x90, 0xff7f, 0},      {0x91, 0xff14, 0},
    {0xA0, 0xffe1, 0},      {0xA1, 0xffe2, 0},      {0xA2, 0xffe3, 0},      {0xA3, 0xffe4, 0},
    {0xA4, 0xffe9, 0},      {0xA5, 0xffea, 0},
};
constexpr xcb_keysym_t NumLockSym = 0xff7f;

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
} // namespace

std::optional<Display> display() {
    if (!platform::isX11())
        return std::nullopt;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* native = app->nativeInterface<QNativeInterface::QX11Application>();
    Display result;
    result.connection = native->connection();
    int screen = 0;
    const QByteArray name = qgetenv("DISPLAY");
    char* host = nullptr;
    int number = 0;
    if (xcb_parse_display(name.isEmpty() ? nullptr : name.constData(), &host, &number, &screen))
        std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(result.connection));
    for (int index = 0; it.rem && index < screen; ++index)
        xcb_screen_next(&it);
    if (!it.rem)
        return std::nullopt;
    result.root = it.data->root;
    result.screen = screen;
    return result;
}

QList<xcb_keysym_t> keysymsForVirtualKey(std::int32_t virtualKey) {
    for (const Range& range : Ranges)
        if (virtualKey >= range.firstKey && virtualKey <= range.lastKey)
            return {range.firstSym + static_cast<xcb_keysym_t>(virtualKey - range.firstKey)};
    for (const Single& single : Singles)
        if (single.key == virtualKey)
            return single.otherSym ? QList<xcb_keysym_t>{single.sym, single.otherSym}
                                   : QList<xcb_keysym_t>{single.sym};
    return {};
}

QList<xcb_keycode_t> keycodesFor(xcb_connection_t* connection, const QList<xcb_keysym_t>& keysyms) {
    QList<xcb_keycode_t> codes;
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> table(
        xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
    if (!table)
        return codes;
    for (xcb_keysym_t sym : keysyms) {
        std::unique_ptr<xcb_keycode_t, FreeDeleter> found(xcb_key_symbols_get_keycode(table.get(), sym));
        for (const xcb_keycode_t* code = found.get(); code && *code != XCB_NO_SYMBOL; ++code)
            if (!codes.contains(*code))
                codes.append(*code);
    }
    return codes;
}

std::uint16_t numLockMask(xcb_connection_t* connection) {
    const QList<xcb_keycode_t> numLock = keycodesFor(connection, {NumLockSym});
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, FreeDeleter> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!reply || numLock.isEmpty())
        return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int slot = 0; slot < perModifier; ++slot)
            if (numLock.contains(codes[modifier * perModifier + slot]))
                return static_cast<std::uint16_t>(1U << modifier);
    return 0;
}

} // namespace platform::x11
