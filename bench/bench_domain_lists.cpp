// Lookups and additions against full lists: the popup decision runs IsInList on every popup.
#include "BenchTiming.h"
#include "lists/DomainLists.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

QStringList fullList() {
    QStringList entries;
    for (int i = 0; i < DomainListModel::Capacity; ++i)
        entries << QStringLiteral("ads%1.tracker-network%2.example.com").arg(i).arg(i % 97);
    return entries;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    DomainLists lists(dir.path());
    lists.List2().setEntries(fullList());
    lists.List3().setEntries(fullList());

    volatile bool sink = false;
    const double miss = medianMicroseconds(200, [&](int i) {
        sink = lists.IsInList(QStringLiteral("nowhere%1.test").arg(i), DomainLists::Denied);
    });
    const double hitLast = medianMicroseconds(200, [&](int) {
        sink = lists.IsInList(QStringLiteral("ADS32766.tracker-network"), DomainLists::Denied);
    });
    // A duplicate is looked up in both lists, then nothing is added.
    const double duplicate = medianMicroseconds(200, [&](int) {
        lists.AddDomain(QStringLiteral("http://ads32766.tracker-network77.example.com/x"),
                        DomainLists::Denied);
    });
    lists.List2().RemoveItem(0);
    const double addOne = medianMicroseconds(1, [&](int) {
        lists.AddDomain(QStringLiteral("http://brand-new.example.org/"), DomainLists::Denied);
    });
    (void)sink;

    std::printf("domain lists, %lld entries each\n", static_cast<long long>(DomainListModel::Capacity));
    std::printf("  IsInList, no match (whole list)   median %8.1f us  (target < 300 us)\n", miss);
    std::printf("  IsInList, match at the last entry median %8.1f us\n", hitLast);
    std::printf("  AddDomain, duplicate              median %8.1f us\n", duplicate);
    std::printf("  AddDomain, new entry on full list        %8.1f us\n", addOne);
    return 0;
}
