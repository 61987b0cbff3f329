#include "lists/DomainListModel.h"

#include "lists/LosslessText.h"
#include "platform/Failure.h"

#include <algorithm>
#include <cstring>

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
    m_entries.removeAt(index);
    m_lower.removeAt(index);
    rebuildIndex();
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

void DomainListModel::appendToIndex(const QString& lower) {
    m_offsets.push_back(m_joined.size());
    m_joined += LosslessText::encode(lower);
    m_joined += '\0';
    m_nonEmpty += lower.isEmpty() ? 0 : 1;
}

void DomainListModel::rebuildIndex() {
    m_joined.clear();
    m_offsets.clear();
    m_offsets.reserve(m_lower.size());
    m_nonEmpty = 0;
    for (const QString& lower : std::as_const(m_lower))
        appendToIndex(lower);
}

qsizetype DomainListModel::indexOfEqual(const QString& text) const {
    const QString lower = LosslessText::toLower(text);
    const auto found = std::find(m_lower.cbegin(), m_lower.cend(), lower);
    return found == m_lower.cend() ? -1 : found - m_lower.cbegin();
}

bool DomainListModel::anyContains(const QString& text) const {
    if (text.isEmpty())
        return m_nonEmpty > 0;
    const QString lower = LosslessText::toLower(text);
    const QByteArray needle = LosslessText::encode(lower);
    if (needle.contains('\0'))
        return std::any_of(m_lower.cbegin(), m_lower.cend(),
                           [&](const QString& entry) { return entry.contains(lower); });
    // The byte scan only proposes: a hit counts when its own entry really holds the text.
    const char* base = m_joined.constData();
    qsizetype from = 0;
    while (from < m_joined.size()) {
        const void* hit =
            memmem(base + from, size_t(m_joined.size() - from), needle.constData(), size_t(needle.size()));
        if (!hit)
            return false;
        const qsizetype at = static_cast<const char*>(hit) - base;
        const auto entry =
            std::upper_bound(m_offsets.cbegin(), m_offsets.cend(), at) - m_offsets.cbegin() - 1;
        if (m_lower.at(entry).contains(lower))
            return true;
        from = at + 1;
    }
    return false;
}
