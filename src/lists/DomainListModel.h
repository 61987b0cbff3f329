#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <cstdint>
#include <utility>
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
    // Fails (zor::Failure) as AddItem would when the list is full, changing nothing.
    void RequireRoom() const;
    void RemoveItem(qsizetype index);
    void Clear();
    void setEntries(const QStringList& entries);

    // Position of the first entry equal to text, case ignored; -1 when none.
    qsizetype indexOfEqual(const QString& text) const;
    // Whether some entry contains text, case ignored. An empty entry contains nothing; an empty
    // text is contained in every other entry.
    bool anyContains(const QString& text) const;

private:
    // The lookups run on every popup against lists of up to 32,767 entries. An entry can contain
    // a text of three or more characters only if it holds each of the text's three-character
    // runs, so each run's bucket lists the positions of the entries holding a run that hashes
    // there, and a lookup compares text only with the entries of its smallest bucket.
    static constexpr std::size_t GramBuckets = 8192;
    static std::size_t gramBucket(QStringView lower, qsizetype at);

    void indexGrams(const QString& lower, qsizetype position);
    void rebuildIndex();
    void appendToIndex(const QString& lower);
    void removeFromIndex(qsizetype index);

    QStringList m_entries;
    QStringList m_lower;
    // Positions fit 16 bits (Capacity); sorted in each bucket; no buckets while the list is empty.
    std::vector<std::vector<std::uint16_t>> m_grams;
    // The hash of each lower-case entry with its position, sorted: equal entries are found
    // without a scan.
    std::vector<std::pair<std::size_t, qsizetype>> m_hashes;
    qsizetype m_nonEmpty = 0;
};
