#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace platform {

// The program's own key files (settings, registry values): sections and keys matched without
// regard to case, order and spelling of what is there kept on rewrite, values escaped so that
// any text survives a round trip. Files are replaced atomically.
class IniDocument {
public:
    // Damaged: the readable lines are loaded, the others are not.
    enum class LoadResult { Missing, Loaded, Unreadable, Damaged };

    LoadResult load(const QString& path);
    // Writes through a temporary file renamed over the old one; false leaves the old file as it was.
    bool save(const QString& path) const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    bool remove(const QString& section, const QString& key);
    QStringList keys(const QString& section) const;

    QByteArray serialize() const;
    // false when the text is not a key file of ours (binary data, stray lines); what could be
    // read is kept all the same.
    bool parse(const QByteArray& bytes);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        QList<Entry> entries;
    };
    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;

    QList<Section> m_sections;
};

} // namespace platform
