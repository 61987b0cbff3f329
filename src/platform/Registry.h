#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace platform {

// Root keys as the program's callers name them.
inline constexpr std::uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001u;
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;

// Value types: text, raw bytes, 32-bit little-endian number.
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

// Status codes.
inline constexpr std::int32_t ERROR_SUCCESS = 0;
inline constexpr std::int32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t ERROR_ACCESS_DENIED = 5;
inline constexpr std::int32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr std::int32_t ERROR_WRITE_FAULT = 29;

struct RegValue {
    std::uint32_t type = REG_SZ;
    // Text values hold their bytes with the terminating NUL, as written.
    QByteArray data;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual std::optional<RegValue> query(std::uint32_t root, const QString& subKey,
                                          const QString& valueName) = 0;
    virtual std::int32_t setValue(std::uint32_t root, const QString& subKey, const QString& valueName,
                                  const RegValue& value) = 0;
    virtual std::int32_t deleteValue(std::uint32_t root, const QString& subKey, const QString& valueName) = 0;
};

} // namespace platform
