#include "util/PropertyBag.h"

PropertyBag::PropertyBag(std::initializer_list<std::pair<QString, QVariant>> values) {
    for (const auto& [name, value] : values)
        m_values.insert(name.toLower(), value);
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    return m_values.value(name.toLower(), defaultValue);
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) {
    const QString key = name.toLower();
    if (value == defaultValue)
        m_values.remove(key);
    else
        m_values.insert(key, value);
}

QStringList PropertyBag::keys() const {
    return m_values.keys();
}
