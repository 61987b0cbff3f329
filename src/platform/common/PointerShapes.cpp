#include "platform/common/PointerShapes.h"

#include <array>

namespace platform {

namespace {

constexpr std::array<Qt::CursorShape, 16> shapes{
    Qt::ArrowCursor,     // 0: replaced by "unset"
    Qt::ArrowCursor,     // 1
    Qt::CrossCursor,     // 2
    Qt::IBeamCursor,     // 3
    Qt::ArrowCursor,     // 4: the icon pointer has no counterpart here
    Qt::SizeAllCursor,   // 5
    Qt::SizeBDiagCursor, // 6
    Qt::SizeVerCursor,   // 7
    Qt::SizeFDiagCursor, // 8
    Qt::SizeHorCursor,   // 9
    Qt::UpArrowCursor,   // 10
    Qt::WaitCursor,      // 11
    Qt::ForbiddenCursor, // 12
    Qt::BusyCursor,      // 13
    Qt::WhatsThisCursor, // 14
    Qt::SizeAllCursor,   // 15
};

} // namespace

bool isPointerCode(int code) {
    return (code >= 0 && code < static_cast<int>(shapes.size())) || code == customPointer;
}

std::optional<QCursor> cursorForPointer(int code, const QPixmap& customIcon) {
    if (code == customPointer)
        return customIcon.isNull() ? std::nullopt : std::optional<QCursor>(QCursor(customIcon));
    if (code <= 0 || code >= static_cast<int>(shapes.size()))
        return std::nullopt;
    return QCursor(shapes[static_cast<std::size_t>(code)]);
}

} // namespace platform
