#include "browser/clsIEManager.h"
#include "browser/clsIEWindow.h"
#include "platform/Failure.h"
#include "support/FakeWebBrowser.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A registry over a stand-in shell whose windows the tests open and close.
class Registry : public ::testing::Test {
protected:
    FakeShellWindows shell;
    clsIEManager manager{shell};
};

QStringList keysOf(const clsIEManager& manager) {
    QStringList keys;
    for (clsIEWindow* window : manager.NewEnum())
        keys.append(window->Key.toString());
    return keys;
}

struct KeyCase {
    const char* name;
    std::vector<std::int32_t> handles;
    QStringList keys;
};

class RegistryKeys : public Registry, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(RegistryKeys, keysAreTheHandleWithACountSuffixForRepeatedHandles) {
    for (std::int32_t handle : GetParam().handles)
        shell.addWindow(handle);
    EXPECT_EQ(keysOf(manager), GetParam().keys);
    for (const QString& key : GetParam().keys)
        ASSERT_NE(manager.Explorer(key), nullptr) << qPrintable(key);
}

INSTANTIATE_TEST_SUITE_P(Handles, RegistryKeys,
                         ::testing::Values(KeyCase{"two_tabs_of_one_window", {5, 5}, {"_5", "_5_2"}},
                                           KeyCase{"repeat_after_another", {5, 7, 5}, {"_5", "_7", "_5_3"}},
                                           KeyCase{"negative", {-3}, {"_-3"}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LookupCase {
    const char* name;
    QVariant key;
    int expectedPosition; // 0: no window
};

class RegistryLookup : public Registry, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(RegistryLookup, textIsAKeyAndNumberIsAOneBasedPosition) {
    shell.addWindow(10);
    shell.addWindow(20);
    clsIEWindow* found = manager.Explorer(GetParam().key);
    if (GetParam().expectedPosition == 0)
        EXPECT_EQ(found, nullptr);
    else
        EXPECT_EQ(found, manager.NewEnum().value(GetParam().expectedPosition - 1));
}

INSTANTIATE_TEST_SUITE_P(Keys, RegistryLookup,
                         ::testing::Values(LookupCase{"key_first", QVariant(u"_10"_s), 1},
                                           LookupCase{"unknown_key", QVariant(u"_30"_s), 0},
                                           LookupCase{"digits_as_text_are_a_key", QVariant(u"1"_s), 0},
                                           LookupCase{"position_1", QVariant(1), 1},
                                           LookupCase{"position_2_as_double", QVariant(2.0), 2},
                                           LookupCase{"position_0", QVariant(0), 0},
                                           LookupCase{"position_past_the_end", QVariant(3), 0},
                                           LookupCase{"no_key", QVariant(), 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Registry, aFailingListingLeavesNoWindowsAndAnUnreadableHandleSkipsOnlyThatWindow) {
    shell.addWindow(1);
    shell.listingFails = true;
    shell.addWindow(2);
    EXPECT_EQ(manager.ExplorerCount(), 0);
    shell.listingFails = false;
    FakeWebBrowser& broken = shell.addWindow(3);
    broken.handleFails = true;
    shell.addWindow(4);
    EXPECT_EQ(keysOf(manager), (QStringList{"_1", "_2", "_4"}));
}

class NewWindowAnswer : public Registry, public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(NewWindowAnswer, whatTheListenerLeavesInCancelIsWhatTheBrowserGetsEvenWhenItFails) {
    const bool cancel = std::get<0>(GetParam());
    const bool listenerThrows = std::get<1>(GetParam());
    shell.addWindow(7);
    FakeWebBrowser& tab = shell.addWindow(7);
    QString keySeen;
    QObject::connect(&manager, &clsIEManager::NewWindow2,
                     [&, cancel, listenerThrows](QObject*&, bool& Cancel, QVariant& key) {
                         keySeen = key.toString();
                         key = u"renamed"_s; // by reference: the wrapper's own key
                         Cancel = cancel;
                         if (listenerThrows)
                             throw zor::Failure(u"listener gave up"_s);
                     });
    EXPECT_EQ(tab.fireNewWindow2(), cancel);
    EXPECT_EQ(keySeen, u"_7_2"_s);
    EXPECT_EQ(manager.NewEnum().value(1)->Key.toString(), u"renamed"_s);
}

INSTANTIATE_TEST_SUITE_P(Answers, NewWindowAnswer, ::testing::Combine(::testing::Bool(), ::testing::Bool()));

TEST_F(Registry, anOldWrapperStopsForwardingAfterARebuildWhileTheNewOneForwards) {
    FakeWebBrowser& tab = shell.addWindow(7);
    QStringList titles;
    QObject::connect(&manager, &clsIEManager::TitleChange, [&](QString text) { titles.append(text); });
    emit tab.TitleChange(u"one"_s);
    shell.addWindow(8); // rebuild: the tab gets a new wrapper
    emit tab.TitleChange(u"two"_s);
    EXPECT_EQ(titles, (QStringList{"one", "two"}))
        << "each event arrives once, through the current wrapper only";
}

// A rebuild, even one that takes the asking window away, while its listener still runs.
TEST_F(Registry, aWindowClosedDuringItsOwnNewWindowListenerFailsItsReadsAndTheAnswerStands) {
    FakeWebBrowser& tab = shell.addWindow(7, u"http://a.test/"_s);
    shell.addWindow(8);
    QObject::connect(&manager, &clsIEManager::NewWindow2, [&](QObject*&, bool& Cancel, QVariant& key) {
        clsIEWindow* opener = manager.Explorer(key);
        ASSERT_NE(opener, nullptr);
        shell.addWindow(9);
        EXPECT_EQ(key.toString(), u"_7"_s);
        shell.removeWindow(tab); // the old wrapper outlives its browser while it forwards
        EXPECT_THROW(opener->LocationURL(), zor::Failure);
        EXPECT_THROW(opener->Parent(), zor::Failure);
        EXPECT_EQ(opener->Document(), nullptr);
        Cancel = true;
    });
    EXPECT_TRUE(tab.fireNewWindow2());
    EXPECT_EQ(manager.ExplorerCount(), 2);
}

TEST_F(Registry, propertiesWithoutACounterpartFail) {
    shell.addWindow(7);
    clsIEWindow* window = manager.Explorer(u"_7"_s);
    ASSERT_NE(window, nullptr);
    EXPECT_THROW(window->StatusText(), zor::Failure);
    EXPECT_THROW(window->GetProperty(u"x"_s), zor::Failure);
    EXPECT_THROW(window->left(), zor::Failure);
}

} // namespace
