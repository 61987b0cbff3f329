#pragma once

#include "lists/DomainListModel.h"

#include <QString>
#include <cstdint>

class QObject;

// The denied (2) and accepted (3) domain lists and their files. Any other list index makes
// every operation do nothing.
class DomainLists {
public:
    static constexpr std::int32_t Denied = 2;
    static constexpr std::int32_t Accepted = 3;

    // folder: where the list files live (with or without a trailing '/').
    explicit DomainLists(const QString& folder = DefaultFolder());

    DomainListModel& List2() { return m_denied; }
    DomainListModel& List3() { return m_accepted; }
    DomainListModel* list(std::int32_t LstIndex);
    const DomainListModel* list(std::int32_t LstIndex) const;

    // The entry a text stands for: the host part after "http://" or "https://", or the whole
    // text when it has neither; cut at its first line break. nullopt when nothing follows the
    // marker.
    static std::optional<QString> ReduceToEntry(const QString& strUrl);

    // Fails (zor::Failure) when the target list is full.
    void AddDomain(const QString& strUrl, std::int32_t LstIndex);
    bool IsInList(const QString& StrDomain, std::int32_t LstIndex) const;
    void RemoveFromList(const QString& StrDomain, std::int32_t LstIndex);

    void LoadList();
    // The files that could not be written; a list left as it is counts as saved.
    QStringList SaveList();

    QString filePath(std::int32_t LstIndex) const;
    // The program's folder when it can be written to (a copy run from where it was unpacked or
    // built), else the per-user data folder.
    static QString DefaultFolder();

private:
    QString m_folder;
    DomainListModel m_denied;
    DomainListModel m_accepted;
    // What a list's file gave at the last load, while that was not the whole file: such a
    // file is rewritten only when the list was changed, and then its old content is kept.
    struct PartialLoad {
        bool partial = false;
        QStringList entries;
    };
    PartialLoad& partialLoad(std::int32_t LstIndex) {
        return LstIndex == Denied ? m_deniedLoad : m_acceptedLoad;
    }
    PartialLoad m_deniedLoad;
    PartialLoad m_acceptedLoad;
};

// The "(index)" suffix of a control-array member, from its "Index" property; empty for a
// control that is not in an array.
QString GetIndex(const QObject* C);
