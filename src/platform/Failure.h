#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <cstdint>
#include <exception>
#include <limits>
#include <utility>

Q_DECLARE_LOGGING_CATEGORY(lcFailure)

namespace zor {

// The one way a failure reaches a caller: a list at capacity, a 16-bit overflow, a platform
// read that has no answer. Code that must carry on past it wraps the step in tryStep().
class Failure : public std::exception {
public:
    explicit Failure(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Runs one step; when it fails the failure is logged and the caller goes on with its next
// step. Returns whether the step ran to its end.
template <typename Step> bool tryStep(const char* step, Step&& run) noexcept {
    try {
        std::forward<Step>(run)();
        return true;
    } catch (const Failure& failure) {
        qCInfo(lcFailure, "%s: %s", step, qUtf8Printable(failure.message()));
    } catch (const std::exception& error) {
        qCWarning(lcFailure, "%s: %s", step, error.what());
    } catch (...) {
        qCWarning(lcFailure, "%s: unknown failure", step);
    }
    return false;
}

// Narrowing that fails instead of wrapping, for the program's 16-bit values.
inline std::int16_t toInt16(qint64 value) {
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw Failure(QStringLiteral("overflow: %1 does not fit in 16 bits").arg(value));
    return static_cast<std::int16_t>(value);
}

// Counters that stay put at their limit instead of wrapping round.
inline void increment(std::int32_t& counter) {
    if (counter == std::numeric_limits<std::int32_t>::max())
        throw Failure(QStringLiteral("overflow: counter is at its largest value"));
    ++counter;
}

} // namespace zor
