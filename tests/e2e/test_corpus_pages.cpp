// The corpus is data the whole-program test trusts: a page with a typo in its expectations
// would quietly test nothing, and two pages whose hosts contain one another would leak one
// page's cancels into the other's verdict.
#include "e2e/CorpusPage.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList Runs{u"mode0"_s,         u"mode1"_s,
                       u"mode2"_s,         u"mode3"_s,
                       u"inactive"_s,      u"ctrl"_s,
                       u"ctrlshift"_s,     u"blocker"_s,
                       u"firefox-mode0"_s, u"firefox-mode1"_s,
                       u"firefox-mode2"_s, u"firefox-mode3"_s,
                       u"firefox-ctrl"_s,  u"firefox-ctrlshift"_s};

QString shippedCorpus() {
    return qEnvironmentVariable("ZOR_SOURCE_DIR") + u"/tests/e2e/corpus"_s;
}

TEST(CorpusPages, ShippedPagesAreReadableAndNameAnOutcomeForEveryRun) {
    const Corpus corpus = loadCorpus(shippedCorpus());
    EXPECT_TRUE(corpus.problems.isEmpty()) << corpus.problems.join(u'\n').toStdString();
    EXPECT_GE(corpus.pages.size(), 16);
    for (const QString& run : Runs) {
        const auto visited =
            std::count_if(corpus.pages.begin(), corpus.pages.end(), [&](const CorpusPage& page) {
                EXPECT_TRUE(!page.visitedIn(run) || !page.expectedIn(run).isEmpty())
                    << page.file.toStdString() << " " << run.toStdString();
                return page.visitedIn(run);
            });
        EXPECT_GE(visited, 3) << run.toStdString();
    }
}

TEST(CorpusPages, TheMachineReadableTagsAreRead) {
    QStringList problems;
    const CorpusPage page = parseCorpusPage(
        u"two-step.html"_s,
        R"(<title> Two steps </title><meta name="zor-expect" content="mode1=cancelled,never *=opened,opened firefox-mode3=never,never">
           <meta name="zor-click" content="#go"><meta name="zor-accept" content="{host}:{port}">)",
        problems);
    EXPECT_TRUE(problems.isEmpty());
    EXPECT_EQ(page.title, u"Two steps"_s);
    EXPECT_EQ(page.host(), u"two-step.test"_s);
    EXPECT_EQ(page.clickSelector, u"#go"_s);
    EXPECT_EQ(page.expectedIn(u"mode1"_s), (QStringList{u"cancelled"_s, u"never"_s}));
    EXPECT_EQ(page.expectedIn(u"ctrl"_s), (QStringList{u"opened"_s, u"opened"_s})) << "runs not named take *";
    EXPECT_EQ(page.expectedIn(u"firefox-mode3"_s), (QStringList{u"never"_s, u"never"_s}));
    EXPECT_TRUE(page.visitedIn(u"firefox-mode3"_s) && !page.visitedIn(u"firefox-mode1"_s))
        << "a page that names Firefox runs is visited only in those";
    EXPECT_TRUE(
        parseCorpusPage(u"plain.html"_s, R"(<meta name="zor-expect" content="mode1=cancelled">)", problems)
            .expectedIn(u"firefox-mode1"_s) == QStringList{u"cancelled"_s})
        << "elsewhere a Firefox run expects what its run does";
    EXPECT_EQ(CorpusPage::expand(page.acceptSeeds.value(0), page.host(), 8080), u"two-step.test:8080"_s);
}

TEST(CorpusPages, PagesWhoseHostsContainOneAnotherAreRefused) {
    QTemporaryDir dir;
    for (const char* name : {"click.html", "doc-click.html", "frame.html"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"(<meta name="zor-expect" content="*=opened">)");
    }
    const Corpus corpus = loadCorpus(dir.path());
    ASSERT_EQ(corpus.problems.size(), 1);
    EXPECT_TRUE(corpus.problems[0].startsWith(u"click.html"_s)) << corpus.problems[0].toStdString();
}

struct BadExpectation {
    const char* content;
};

class CorpusPageRejects : public testing::TestWithParam<BadExpectation> {};

TEST_P(CorpusPageRejects, AnUnreadableExpectationIsAProblemNotASilentPass) {
    QStringList problems;
    const QByteArray html = QByteArray(R"(<meta name="zor-expect" content=")") + GetParam().content + R"(">)";
    const CorpusPage page = parseCorpusPage(u"bad.html"_s, html, problems);
    EXPECT_EQ(problems.size(), 1) << GetParam().content;
}

INSTANTIATE_TEST_SUITE_P(Typos, CorpusPageRejects,
                         testing::Values(BadExpectation{"mode0=openned"}, BadExpectation{"mode0="},
                                         BadExpectation{"=opened"},
                                         BadExpectation{"mode1=cancelled,blocked"}));

} // namespace
