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

void DomainListModel::AddItem(const QString& entry) {
    if (m_entries.size() >= Capacity)
        throw zor::Failure(QStringLiteral("the list is full (%1 entries)").arg(Capacity));
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

DomainListModel::Signature DomainListModel::signatureOf(QStringView lower) {
    Signature bits{};
    const auto set = [&bits](std::uint32_t value) {
        const std::uint32_t bit = (value * 2654435761U) >> 25; // 0..127
        bits[bit >> 6] |= std::uint64_t(1) << (bit & 63);
    };
    for (qsizetype i = 0; i < lower.size(); ++i) {
        const std::uint32_t unit = lower[i].unicode();
        set(unit);
        if (i + 1 < lower.size())
            set((unit << 16) ^ lower[i + 1].unicode() ^ 0x9E3779B9U);
    }
    return bits;
}

void DomainListModel::appendToIndex(const QString& lower) {
    m_signatures.push_back(signatureOf(lower));
    const std::pair key{qHash(lower), qsizetype(m_signatures.size()) - 1};
    m_hashes.insert(std::upper_bound(m_hashes.begin(), m_hashes.end(), key), key);
    m_nonEmpty += lower.isEmpty() ? 0 : 1;
}

void DomainListModel::removeFromIndex(qsizetype index) {
    const QString& lower = m_lower.at(index);
    m_signatures.erase(m_signatures.begin() + index);
    const auto hash = std::lower_bound(m_hashes.begin(), m_hashes.end(), std::pair{qHash(lower), index});
    if (hash != m_hashes.end() && hash->second == index)
        m_hashes.erase(hash);
    for (auto& [value, at] : m_hashes)
        at -= at > index ? 1 : 0;
    m_nonEmpty -= lower.isEmpty() ? 0 : 1;
}

void DomainListModel::rebuildIndex() {
    m_signatures.clear();
    m_signatures.reserve(m_lower.size());
    m_hashes.clear();
    m_hashes.reserve(m_lower.size());
    m_nonEmpty = 0;
    for (const QString& lower : std::as_const(m_lower)) {
        m_hashes.emplace_back(qHash(lower), qsizetype(m_signatures.size()));
        m_signatures.push_back(signatureOf(lower));
        m_nonEmpty += lower.isEmpty() ? 0 : 1;
    }
    std::sort(m_hashes.begin(), m_hashes.end());
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
    const Signature wanted = signatureOf(lower);
    for (std::size_t i = 0; i < m_signatures.size(); ++i) {
        const Signature& held = m_signatures[i];
        if ((held[0] & wanted[0]) == wanted[0] && (held[1] & wanted[1]) == wanted[1] &&
            m_lower.at(qsizetype(i)).contains(lower))
            return true;
    }
    return false;
}
