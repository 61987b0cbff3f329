#include "lists/DomainListModel.h"

#include "lists/LosslessText.h"
#include "platform/Failure.h"

#include <algorithm>

DomainListModel::DomainListModel(QObject* parent)
    : QAbstractListModel(parent) {}

int DomainListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant DomainListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_entries.at(index.row());
    return {};
}

Qt::ItemFlags DomainListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsDropEnabled;
}

void DomainListModel::RequireRoom() const {
    if (m_entries.size() >= Capacity)
        throw zor::Failure(QStringLiteral("the list is full (%1 entries)").arg(Capacity));
}

void DomainListModel::AddItem(const QString& entry) {
    RequireRoom();
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries << entry;
    m_lower << LosslessText::toLower(entry);
    appendToIndex(m_lower.last());
    endInsertRows();
}

void DomainListModel::RemoveItem(qsizetype index) {
    if (index < 0 || index >= m_entries.size())
        throw zor::Failure(QStringLiteral("no entry at position %1").arg(index));
    beginRemoveRows(QModelIndex(), static_cast<int>(index), static_cast<int>(index));
    removeFromIndex(index);
    m_entries.removeAt(index);
    m_lower.removeAt(index);
    endRemoveRows();
}

void DomainListModel::Clear() {
    setEntries({});
}

void DomainListModel::setEntries(const QStringList& entries) {
    beginResetModel();
    m_entries = entries.mid(0, Capacity);
    m_lower.clear();
    m_lower.reserve(m_entries.size());
    for (const QString& entry : std::as_const(m_entries))
        m_lower << LosslessText::toLower(entry);
    rebuildIndex();
    endResetModel();
}

std::size_t DomainListModel::gramBucket(QStringView lower, qsizetype at) {
    const std::uint32_t hash = lower[at].unicode() * 0x9E3779B1U ^ lower[at + 1].unicode() * 0x85EBCA77U ^
                               lower[at + 2].unicode() * 0xC2B2AE3DU;
    return (hash ^ (hash >> 15)) % GramBuckets;
}

void DomainListModel::indexGrams(const QString& lower, qsizetype position) {
    if (m_grams.empty() && lower.size() >= 3)
        m_grams.resize(GramBuckets);
    for (qsizetype at = 0; at + 3 <= lower.size(); ++at) {
        std::vector<std::uint16_t>& bucket = m_grams[gramBucket(lower, at)];
        if (bucket.empty() || bucket.back() != position)
            bucket.push_back(static_cast<std::uint16_t>(position));
    }
}

void DomainListModel::appendToIndex(const QString& lower) {
    const qsizetype position = m_lower.size() - 1;
    indexGrams(lower, position);
    const std::pair key{qHash(lower), position};
    m_hashes.insert(std::upper_bound(m_hashes.begin(), m_hashes.end(), key), key);
    m_nonEmpty += lower.isEmpty() ? 0 : 1;
}

void DomainListModel::rebuildIndex() {
    m_grams = {};
    m_hashes.clear();
    m_hashes.reserve(m_lower.size());
    m_nonEmpty = 0;
    for (qsizetype position = 0; position < m_lower.size(); ++position) {
        const QString& lower = m_lower.at(position);
        indexGrams(lower, position);
        m_hashes.emplace_back(qHash(lower), position);
        m_nonEmpty += lower.isEmpty() ? 0 : 1;
    }
    std::sort(m_hashes.begin(), m_hashes.end());
    for (std::vector<std::uint16_t>& bucket : m_grams)
        bucket.shrink_to_fit();
}

void DomainListModel::removeFromIndex(qsizetype index) {
    const QString& lower = m_lower.at(index);
    const auto position = static_cast<std::uint16_t>(index);
    for (std::vector<std::uint16_t>& bucket : m_grams) {
        auto at = std::lower_bound(bucket.begin(), bucket.end(), position);
        if (at != bucket.end() && *at == position)
            at = bucket.erase(at);
        for (; at != bucket.end(); ++at)
            --*at;
    }
    const auto hash = std::lower_bound(m_hashes.begin(), m_hashes.end(), std::pair{qHash(lower), index});
    if (hash != m_hashes.end() && hash->second == index)
        m_hashes.erase(hash);
    for (auto& [value, at] : m_hashes)
        at -= at > index ? 1 : 0;
    m_nonEmpty -= lower.isEmpty() ? 0 : 1;
}

qsizetype DomainListModel::indexOfEqual(const QString& text) const {
    const QString lower = LosslessText::toLower(text);
    const std::size_t hash = qHash(lower);
    // Equal hashes sit together, by position: the first equal entry among them is the first.
    for (auto it = std::lower_bound(m_hashes.cbegin(), m_hashes.cend(), std::pair{hash, qsizetype(0)});
         it != m_hashes.cend() && it->first == hash; ++it)
        if (m_lower.at(it->second) == lower)
            return it->second;
    return -1;
}

bool DomainListModel::anyContains(const QString& text) const {
    if (text.isEmpty())
        return m_nonEmpty > 0;
    const QString lower = LosslessText::toLower(text);
    if (lower.size() < 3 || m_grams.empty())
        return std::any_of(m_lower.cbegin(), m_lower.cend(),
                           [&](const QString& held) { return held.contains(lower); });
    const std::vector<std::uint16_t>* fewest = nullptr;
    for (qsizetype at = 0; at + 3 <= lower.size(); ++at) {
        const std::vector<std::uint16_t>& bucket = m_grams[gramBucket(lower, at)];
        if (!fewest || bucket.size() < fewest->size())
            fewest = &bucket;
    }
    return std::any_of(fewest->cbegin(), fewest->cend(),
                       [&](std::uint16_t position) { return m_lower.at(position).contains(lower); });
}
