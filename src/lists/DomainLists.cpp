#include "lists/DomainLists.h"

#include "lists/ListFile.h"
#include "platform/Failure.h"
#include "platform/Log.h"
#include "platform/common/XdgPaths.h"
#include "util/VELModule.h"
#include "util/WebMarker.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QUrl>
#include <QVariant>
#include <algorithm>

namespace {
const QString DeniedFile = QStringLiteral("deny_domains.txt");
const QString AcceptedFile = QStringLiteral("accept_domains.txt");
} // namespace

DomainLists::DomainLists(const QString& folder)
    : m_folder(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/')) {}

QString DomainLists::DefaultFolder() {
    const QString app = VELModule::AppPath();
    if (QFileInfo(app).isWritable())
        return app;
    const QString data = platform::XdgPaths::dataHome() + QLatin1String("/ZOR Brakkon/");
    QDir().mkpath(data);
    return data;
}

QString DomainLists::filePath(std::int32_t LstIndex) const {
    if (LstIndex == Denied)
        return m_folder + DeniedFile;
    if (LstIndex == Accepted)
        return m_folder + AcceptedFile;
    return QString();
}

DomainListModel* DomainLists::list(std::int32_t LstIndex) {
    return LstIndex == Denied ? &m_denied : LstIndex == Accepted ? &m_accepted : nullptr;
}

const DomainListModel* DomainLists::list(std::int32_t LstIndex) const {
    return const_cast<DomainLists*>(this)->list(LstIndex);
}

std::optional<QString> DomainLists::ReduceToEntry(const QString& strUrl) {
    QString entry;
    const WebMarker marker = WebMarker::find(strUrl);
    if (!marker.found()) {
        entry = strUrl;
    } else {
        const qsizetype start = marker.end();
        if (start >= strUrl.size())
            return std::nullopt;
        // Up to and including the first slash after the host, or the whole rest.
        const qsizetype slash = strUrl.indexOf(QLatin1Char('/'), start);
        entry = slash < 0 ? strUrl.mid(start) : strUrl.mid(start, slash - start + 1);
    }
    // A dropped text of several lines must not put a line break into the list file.
    const auto lineBreak =
        std::find_if(entry.cbegin(), entry.cend(), [](QChar c) { return c == u'\r' || c == u'\n'; });
    entry.truncate(lineBreak - entry.cbegin());
    if (entry.endsWith(QLatin1Char('/')))
        entry.chop(1);
    return entry;
}

void DomainLists::AddDomain(const QString& strUrl, std::int32_t LstIndex) {
    DomainListModel* target = list(LstIndex);
    if (!target)
        return;
    const std::optional<QString> entry = ReduceToEntry(strUrl);
    if (!entry)
        return;
    const bool present = target->indexOfEqual(*entry) >= 0;
    // Refused before anything changes: a failed add must not have taken the entry off the
    // other list, nor may an entry be taken that its file would not give back.
    if (!present) {
        target->RequireRoom();
        if (ListFile::serialize({*entry}).size() - 2 > ListFile::MaxEntryBytes)
            throw zor::Failure(QStringLiteral("an entry longer than %1 bytes cannot be kept in the list file")
                                   .arg(ListFile::MaxEntryBytes));
    }
    RemoveFromList(*entry, LstIndex == Denied ? Accepted : Denied);
    if (!present)
        target->AddItem(*entry);
}

bool DomainLists::IsInList(const QString& StrDomain, std::int32_t LstIndex) const {
    const DomainListModel* target = list(LstIndex);
    if (!target)
        return false;
    if (target->anyContains(StrDomain))
        return true;
    // Browsers report a name in other letters than a-z in its ASCII form (xn--...), while the
    // user types it as the address bar shows it: either form finds an entry written in the other.
    const bool ascii =
        std::all_of(StrDomain.cbegin(), StrDomain.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii && !StrDomain.contains(QLatin1String("xn--"), Qt::CaseInsensitive))
        return false;
    const QString other = ascii ? QUrl::fromAce(StrDomain.toLatin1(), QUrl::IgnoreIDNWhitelist)
                                : QString::fromLatin1(QUrl::toAce(StrDomain, QUrl::IgnoreIDNWhitelist));
    return !other.isEmpty() && other.compare(StrDomain, Qt::CaseInsensitive) != 0 &&
           target->anyContains(other);
}

void DomainLists::RemoveFromList(const QString& StrDomain, std::int32_t LstIndex) {
    DomainListModel* target = list(LstIndex);
    if (!target)
        return;
    // A copy: the caller may hand in one of the entries being removed.
    const QString domain = StrDomain;
    for (qsizetype at = target->indexOfEqual(domain); at >= 0; at = target->indexOfEqual(domain))
        target->RemoveItem(at);
}

void DomainLists::LoadList() {
    m_denied.Clear();
    m_accepted.Clear();
    for (const std::int32_t index : {Denied, Accepted}) {
        PartialLoad& load = partialLoad(index);
        load = PartialLoad();
        const QString path = filePath(index);
        if (!VELModule::FileExists(path))
            continue;
        ListFile::Content content = ListFile::read(path, DomainListModel::Capacity);
        list(index)->setEntries(content.entries);
        if (!content.complete)
            load = PartialLoad{true, std::move(content.entries)};
        qCInfo(lcLists, "loaded %lld entries from %s", static_cast<long long>(list(index)->ListCount()),
               qUtf8Printable(path));
    }
}

QStringList DomainLists::SaveList() {
    QStringList unsaved;
    for (const std::int32_t index : {Denied, Accepted}) {
        PartialLoad& load = partialLoad(index);
        const QStringList& entries = list(index)->entries();
        if (load.partial && entries == load.entries) {
            qCInfo(lcLists, "%s was loaded only in part and not changed; left as it is",
                   qUtf8Printable(filePath(index)));
            continue;
        }
        const bool saved = zor::tryStep("saving a domain list", [&] {
            if (!ListFile::write(filePath(index), entries, load.partial))
                throw zor::Failure(QStringLiteral("%1 was not saved").arg(filePath(index)));
            // The backup now holds the old file; a later save must not replace it with this one.
            load = PartialLoad();
        });
        if (!saved)
            unsaved << filePath(index);
    }
    return unsaved;
}

QString GetIndex(const QObject* C) {
    qint64 index = -1;
    if (C) {
        bool ok = false;
        const QVariant value = C->property("Index");
        const qint64 read = value.toLongLong(&ok);
        if (value.isValid() && ok)
            index = read;
    }
    return index == -1 ? QString() : QLatin1Char('(') + QString::number(index) + QLatin1Char(')');
}
