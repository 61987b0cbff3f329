#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// The store a control keeps its design properties in. There is no form designer on this
// platform: the main window fills one bag per control instance with its design values (compiled
// in) and the control loads itself from it. Keys are matched without regard to case and are
// stored lower-cased; a value equal to its default is not stored.
class PropertyBag {
public:
    PropertyBag() = default;
    PropertyBag(std::initializer_list<std::pair<QString, QVariant>> values);

    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = {}) const;
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue = {});

    QStringList keys() const;
    qsizetype size() const { return m_values.size(); }

private:
    QMap<QString, QVariant> m_values;
};
