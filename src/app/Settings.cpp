#include "app/Settings.h"

#include "platform/Failure.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "util/VELModule.h"

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
    // Blanks, an optional sign, digits with an optional fraction, an optional exponent; what
    // follows is ignored, and text without such a start reads 0.
    const QString text = Get(General, key, QString::number(defaultValue));
    const auto digit = [&](qsizetype i) { return i < text.size() && text[i] >= u'0' && text[i] <= u'9'; };
    const auto digitsFrom = [&](qsizetype i) {
        while (digit(i))
            ++i;
        return i;
    };
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    const qsizetype whole = i;
    i = digitsFrom(i);
    bool hasDigits = i > whole;
    if (i < text.size() && text[i] == u'.') {
        const qsizetype fraction = i + 1;
        i = digitsFrom(fraction);
        hasDigits = hasDigits || i > fraction;
    }
    if (!hasDigits)
        return 0.0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype exponent = i + 1;
        if (exponent < text.size() && (text[exponent] == u'+' || text[exponent] == u'-'))
            ++exponent;
        if (digit(exponent))
            i = digitsFrom(exponent);
    }
    return QStringView(text).mid(start, i - start).toDouble();
}

} // namespace Settings
