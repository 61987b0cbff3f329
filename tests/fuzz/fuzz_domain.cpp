// Reducing an address (from a browser or dropped by the user) to its domain and to a list entry.
// How the lists take and find entries is the list-file target's and the list tests'.
#include "FuzzCheck.h"
#include "lists/DomainLists.h"
#include "policy/DomainFromUrl.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString url = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString domain = GetDomainFromURL(url);
    FUZZ_CHECK(!domain.contains(QLatin1Char('/')));
    FUZZ_CHECK(domain.isEmpty() || url.contains(domain));
    // A domain holds neither a slash nor so a scheme marker: reducing it again changes nothing.
    FUZZ_CHECK(GetDomainFromURL(domain) == domain);

    const std::optional<QString> entry = DomainLists::ReduceToEntry(url);
    if (!entry)
        return 0;
    FUZZ_CHECK(!entry->contains(QLatin1Char('\r')) && !entry->contains(QLatin1Char('\n')));
    FUZZ_CHECK(entry->isEmpty() || url.contains(*entry));
    if (!entry->endsWith(QLatin1Char('/')))
        FUZZ_CHECK(DomainLists::ReduceToEntry(*entry) == entry);
    return 0;
}
