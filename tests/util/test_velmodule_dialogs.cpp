#include "support/DesktopFakes.h"
#include "util/VELModule.h"

#include <gtest/gtest.h>

using namespace VELModule;

namespace {

TEST(ShowFileDialog, PassesFiltersFolderTitleAndFlagsAndCutsLongNames) {
    ScopedScriptedDialogs dialogs;
    dialogs->fileAnswers.push_back({true, q("  /media/ding.wav  "), 2});
    std::int32_t filterIndex = -1;
    const QString chosen = ShowFileDialog(q("*.wav|*.wav|All files|*.*"), nullptr, q("/media"), QString(),
                                          0x1000, false, &filterIndex, q("ding.wav"));
    EXPECT_EQ(chosen, q("/media/ding.wav"));
    EXPECT_EQ(filterIndex, 2);
    ASSERT_EQ(dialogs->fileRequests.size(), 1);
    const auto& request = dialogs->fileRequests.first();
    ASSERT_EQ(request.filters.size(), 2);
    EXPECT_EQ(request.filters[0], std::make_pair(q("*.wav"), q("*.wav")));
    EXPECT_EQ(request.filters[1], std::make_pair(q("All files"), q("*.*")));
    EXPECT_EQ(request.initialDir, q("/media"));
    EXPECT_EQ(request.title, q("ZOR Brakkon")) << "an empty title becomes the program's";
    EXPECT_EQ(request.flags, 0x1000);
    EXPECT_FALSE(request.save);

    dialogs->fileAnswers.push_back({false, q("/ignored.wav"), 0});
    EXPECT_EQ(
        ShowFileDialog(q("*.wav|*.wav"), nullptr, q("/"), q("Pick"), 0, true, nullptr, QString(400, u'n')),
        QString())
        << "cancelled";
    EXPECT_EQ(dialogs->fileRequests.last().title, q("Pick"));
    EXPECT_TRUE(dialogs->fileRequests.last().save);
    EXPECT_EQ(dialogs->fileRequests.last().fileName.size(), 254) << "long file names are cut";
}

TEST(ShellOpen, ReportsAboveThirtyTwoOnSuccessOnly) {
    ScopedScriptedDialogs dialogs;
    EXPECT_GT(ShellOpen(q("https://example.invalid/"), QString(), nullptr, QString()), 32);
    dialogs->shellOpenSucceeds = false;
    EXPECT_LE(ShellOpen(q("nowhere"), QString(), nullptr, QString()), 32);
    ASSERT_EQ(dialogs->opened.size(), 2);
    EXPECT_EQ(dialogs->opened.first(), q("https://example.invalid/"));
}

} // namespace
