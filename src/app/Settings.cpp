#include "app/Settings.h"

#include "platform/Failure.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "util/VELModule.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace Settings {

QString Get(const QString& section, const QString& key, const QString& defaultValue) {
    return platform::settings().GetSetting(App::Title, section, key, defaultValue);
}

void Save(const QString& section, const QString& key, const QString& value) {
    if (!platform::settings().SaveSetting(App::Title, section, key, value))
        throw zor::Failure(QStringLiteral("the setting %1 was not saved").arg(key));
}

int GetInt(const QString& key, int defaultValue, int minValue, int maxValue) {
    const QString text = Get(General, key, QString::number(defaultValue)).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < minValue || value > maxValue) {
        qCWarning(lcSettings, "setting %s is \"%s\"; using %d", qUtf8Printable(key), qUtf8Printable(text),
                  defaultValue);
        return defaultValue;
    }
    return value;
}

std::int32_t GetRounded(const QString& key, std::int32_t defaultValue) {
    const QString text = Get(General, key, QString::number(defaultValue)).trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    const double rounded = ok ? std::nearbyint(value) : 0.0;
    if (!ok || !std::isfinite(value) || rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        qCWarning(lcSettings, "setting %s is \"%s\"; using %d", qUtf8Printable(key), qUtf8Printable(text),
                  defaultValue);
        return defaultValue;
    }
    return static_cast<std::int32_t>(rounded);
}

double GetLeadingNumber(const QString& key, double defaultValue) {
    static const QRegularExpression leading(QStringLiteral(R"(^\s*([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?))"));
    const QRegularExpressionMatch match = leading.match(Get(General, key, QString::number(defaultValue)));
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace Settings
