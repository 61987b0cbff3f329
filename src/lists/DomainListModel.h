#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>
#include <vector>

// One domain list, shown as it is by a list view: the model is the list. Entries keep their
// case and order; a lower-case copy of each entry is kept in step for the lookups.
class DomainListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr qsizetype Capacity = 32767;

    explicit DomainListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    qsizetype ListCount() const { return m_entries.size(); }
    const QString& List(qsizetype index) const { return m_entries.at(index); }
    const QStringList& entries() const { return m_entries; }

    // Fails (zor::Failure) when the list is full.
    void AddItem(const QString& entry);
    void RemoveItem(qsizetype index);
    void Clear();
    void setEntries(const QStringList& entries);

    // Position of the first entry equal to text, case ignored; -1 when none.
    qsizetype indexOfEqual(const QString& text) const;
    // Whether some entry contains text, case ignored. An empty entry contains nothing; an empty
    // text is contained in every other entry.
    bool anyContains(const QString& text) const;

private:
    void rebuildIndex();

    QStringList m_entries;
    QStringList m_lower;
    void appendToIndex(const QString& lower);

    // All lower-case entries as bytes, each followed by a NUL, for one fast substring scan;
    // m_offsets holds where each entry starts, so every hit is checked against its entry.
    QByteArray m_joined;
    std::vector<qsizetype> m_offsets;
    qsizetype m_nonEmpty = 0;
};
