#include "lists/DomainLists.h"
#include "platform/Failure.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A pair of lists kept in a folder of the test's own.
class Lists : public testing::Test {
protected:
    QTemporaryDir dir;
    DomainLists lists{dir.path()};
};

struct ReduceCase {
    const char* text;
    const char* entry;
};

class EntryReduction : public Lists, public testing::WithParamInterface<ReduceCase> {};

TEST_P(EntryReduction, AddingATextStoresTheReducedEntry) {
    EXPECT_NO_THROW(lists.AddDomain(q(GetParam().text), DomainLists::Denied));
    EXPECT_EQ(lists.List2().entries(), GetParam().entry ? QStringList{q(GetParam().entry)} : QStringList{})
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EntryReduction,
    testing::Values(ReduceCase{"http://w.x.y/p/q.htm", "w.x.y"}, ReduceCase{"http://w.x.y", "w.x.y"},
                    ReduceCase{"http://w.x.y/", "w.x.y"}, ReduceCase{"http://w.x.y/p/", "w.x.y"},
                    ReduceCase{"HTTP://W.X.Y/p", "W.X.Y"}, ReduceCase{"http://w.x.y:8080/p", "w.x.y:8080"},
                    ReduceCase{"http://w.x.y?a=1", "w.x.y?a=1"}, ReduceCase{"http:///p", ""},
                    ReduceCase{"http://w.x.y/p --> Terminated!", "w.x.y"}, ReduceCase{"w.x.y", "w.x.y"},
                    ReduceCase{"ftp://f.x.y/pub", "ftp://f.x.y/pub"},
                    // https is reduced like http, the earlier marker winning.
                    ReduceCase{"https://w.x.y/p", "w.x.y"}, ReduceCase{"HTTPS://W.X.Y", "W.X.Y"},
                    ReduceCase{"https://a.q/?u=http://b.q/", "a.q"},
                    // A dropped text of several lines keeps only its first line.
                    ReduceCase{"w.x.y\r\nsecond.line", "w.x.y"}, ReduceCase{"http://a.b\n/x", "a.b"},
                    ReduceCase{"a.b/\nc", "a.b"},
                    // Text ending with the marker has no domain to add.
                    ReduceCase{"http://", nullptr}, ReduceCase{"see http://", nullptr},
                    ReduceCase{"HTTPS://", nullptr}));

TEST_F(Lists, AddingAppendsInOrderSkipsDuplicatesAndTakesEveryCaseVariantOffTheOtherList) {
    lists.List2().setEntries({q("W.X.Y"), q("keep.me"), q("w.x.y")});
    lists.List3().AddItem(q("Keep.Me"));
    lists.AddDomain(q("w.x.y"), DomainLists::Accepted);
    EXPECT_EQ(lists.List2().entries(), QStringList{q("keep.me")});
    // Already denied: not added again, but still taken off the accepted list.
    lists.AddDomain(q("HTTP://KEEP.ME/index.html"), DomainLists::Denied);
    lists.AddDomain(q("c.q"), DomainLists::Denied);
    lists.AddDomain(q("a.q"), DomainLists::Denied);
    EXPECT_EQ(lists.List2().entries(), (QStringList{q("keep.me"), q("c.q"), q("a.q")}));
    EXPECT_EQ(lists.List3().entries(), QStringList{q("w.x.y")});
}

TEST_F(Lists, AddingToAFullListFailsToTheCallerAndLeavesItIntact) {
    QStringList full;
    for (int i = 0; i < DomainListModel::Capacity; ++i)
        full << q("d%1.q").arg(i);
    lists.List2().setEntries(full);
    EXPECT_THROW(lists.AddDomain(q("one.more"), DomainLists::Denied), zor::Failure);
    EXPECT_EQ(lists.List2().ListCount(), DomainListModel::Capacity);
    // A duplicate needs no room and is not a failure.
    EXPECT_NO_THROW(lists.AddDomain(q("D5.Q"), DomainLists::Denied));
}

struct LookupCase {
    const char* entry;
    const char* query;
    bool match;
};

class IsInList : public Lists, public testing::WithParamInterface<LookupCase> {};

TEST_P(IsInList, MatchesWhenAnEntryContainsTheQueryIgnoringCase) {
    lists.List2().AddItem(q(GetParam().entry));
    EXPECT_EQ(lists.IsInList(q(GetParam().query), DomainLists::Denied), GetParam().match)
        << "entry '" << GetParam().entry << "' query '" << GetParam().query << "'";
}

INSTANTIATE_TEST_SUITE_P(Table, IsInList,
                         testing::Values(LookupCase{"w.x.y", "w.x.y", true},
                                         LookupCase{"w.x.y", "W.X.Y", true},
                                         LookupCase{"ads.w.x.y", "w.x.y", true},
                                         LookupCase{"w.x.yz", "w.x.y", true},
                                         LookupCase{"x.y", "w.x.y", false}, LookupCase{"a.b", "", true},
                                         LookupCase{"", "a.b", false}, LookupCase{"", "", false},
                                         LookupCase{"Ünï.çödé", "ÜNÏ", true},
                                         // A match never spans the end of one entry and the next.
                                         LookupCase{"a.b", "a.bc", false}));

TEST_F(Lists, LookupHitNeverSpansTwoEntries) {
    lists.List2().setEntries({q("one.ab"), q("cd.two")});
    EXPECT_FALSE(lists.IsInList(q("abcd"), DomainLists::Denied));
    EXPECT_TRUE(lists.IsInList(q("cd.t"), DomainLists::Denied));
    lists.List2().RemoveItem(1);
    EXPECT_FALSE(lists.IsInList(q("cd.t"), DomainLists::Denied)) << "the lookup must follow removals";
}

TEST_F(Lists, IndexesOfNoListChangeNothingAndFindNothing) {
    lists.List2().AddItem(q("w.x.y"));
    lists.List3().AddItem(q("a.b.c"));
    for (int index : {-1, 0, 1, 4, 99}) {
        lists.AddDomain(q("w.x.y"), index);
        lists.RemoveFromList(q("w.x.y"), index);
        lists.RemoveFromList(q("a.b.c"), index);
        EXPECT_FALSE(lists.IsInList(q("w.x.y"), index));
    }
    EXPECT_EQ(lists.List2().entries(), QStringList{q("w.x.y")});
    EXPECT_EQ(lists.List3().entries(), QStringList{q("a.b.c")});
}

TEST_F(Lists, RemovingTakesEveryEqualEntryButNotContainingOnes) {
    lists.List3().setEntries({q("W.x.Y"), q("ads.w.x.y"), q("w.x.y"), q(" w.x.y")});
    lists.RemoveFromList(q("w.X.y"), DomainLists::Accepted);
    EXPECT_EQ(lists.List3().entries(), (QStringList{q("ads.w.x.y"), q(" w.x.y")}));
}

TEST(GetIndex, GivesTheArraySuffixOnlyForArrayMembers) {
    const std::pair<QVariant, QString> cases[] = {
        {2, q("(2)")}, {0, q("(0)")}, {QVariant(), QString()}, {q("x"), QString()}};
    for (const auto& [index, suffix] : cases) {
        QObject control;
        control.setProperty("Index", index);
        EXPECT_EQ(GetIndex(&control), suffix) << qPrintable(index.toString());
    }
    EXPECT_EQ(GetIndex(nullptr), QString());
}

} // namespace
