// The list-file reader: any bytes load without harm, keep every byte through a load and a save,
// and what is loaded is found by the list lookup. Files, read a megabyte at a time, are the unit
// test's.
#include "FuzzCheck.h"
#include "lists/DomainListModel.h"
#include "lists/ListFile.h"
#include "lists/LosslessText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    FUZZ_CHECK(LosslessText::encode(LosslessText::decode(bytes)) == bytes);

    // A small capacity as well, so the fuzzer reaches the overflow path cheaply.
    const qsizetype small = size > 0 ? data[0] % 8 : 0;
    bool fewTruncated = false;
    const QStringList few = ListFile::parse(bytes, small, &fewTruncated);
    bool truncated = true;
    const QStringList entries = ListFile::parse(bytes, DomainListModel::Capacity, &truncated);
    FUZZ_CHECK(few == entries.mid(0, small));
    FUZZ_CHECK(fewTruncated == (entries.size() > small));
    FUZZ_CHECK(!truncated || entries.size() == DomainListModel::Capacity);
    for (const QString& entry : entries) {
        FUZZ_CHECK(entry.contains(QLatin1Char('.')));
        FUZZ_CHECK(!entry.contains(QLatin1Char('\r')));
    }
    FUZZ_CHECK(ListFile::parse(ListFile::serialize(entries), DomainListModel::Capacity) == entries);

    DomainListModel model;
    model.setEntries(entries);
    for (const QString& entry : entries) {
        FUZZ_CHECK(model.anyContains(entry));
        // Any inner piece too, as long as it does not split a surrogate pair (an address never
        // holds half a character).
        const qsizetype first = 1;
        const qsizetype last = entry.size() - 2;
        if (last > first && !entry[first].isLowSurrogate() && !entry[last].isHighSurrogate())
            FUZZ_CHECK(model.anyContains(entry.mid(first, last - first + 1)));
    }
    // The quick tests of the lookups never change their answer: against a plain scan, for the
    // whole input and each piece of it as the text looked for.
    QStringList lower;
    for (const QString& entry : entries)
        lower << LosslessText::toLower(entry);
    const QString whole = LosslessText::decode(bytes);
    for (const QString& text : QStringList{whole} + whole.split(QLatin1Char('.'))) {
        const QString wanted = LosslessText::toLower(text);
        FUZZ_CHECK(
            model.anyContains(text) ==
            std::any_of(lower.cbegin(), lower.cend(), [&](const QString& e) { return e.contains(wanted); }));
        FUZZ_CHECK(model.indexOfEqual(text) == lower.indexOf(wanted));
    }
    return 0;
}
