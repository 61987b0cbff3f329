#include "e2e/CorpusPage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QStringList Outcomes{u"opened"_s, u"cancelled"_s, u"never"_s};
const QString FirefoxRun = u"firefox-"_s;

} // namespace

QString CorpusPage::host() const {
    return QFileInfo(file).completeBaseName() + u".test"_s;
}

QStringList CorpusPage::expectedIn(const QString& run) const {
    if (run.startsWith(FirefoxRun) && !expected.contains(run))
        return expected.contains(u"firefox-*"_s) ? expectedIn(u"firefox-*"_s)
                                                 : expectedIn(run.mid(FirefoxRun.size()));
    QStringList outcomes = expected.value(run, expected.value(u"*"_s));
    std::sort(outcomes.begin(), outcomes.end());
    return outcomes;
}

bool CorpusPage::visitedIn(const QString& run) const {
    if (run.startsWith(FirefoxRun)) {
        const QStringList runs = expected.keys();
        const bool namesFirefox = std::any_of(
            runs.begin(), runs.end(), [](const QString& named) { return named.startsWith(FirefoxRun); });
        return namesFirefox ? expected.contains(run) || expected.contains(u"firefox-*"_s)
                            : visitedIn(run.mid(FirefoxRun.size()));
    }
    const QString blocker = u"blocker"_s;
    return expected.contains(run) || (run != blocker && !expected.contains(blocker));
}

// Parses one page; problems found are appended.
static CorpusPage parseCorpusPage(const QString& file, const QByteArray& html, QStringList& problems) {
    CorpusPage page;
    page.file = file;
    page.html = html;
    const QString text = QString::fromUtf8(html);
    static const QRegularExpression title(u"<title>([^<]*)</title>"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    page.title = title.match(text).captured(1).trimmed();
    static const QRegularExpression tag(
        uR"re(<meta\s+name\s*=\s*"(zor-[a-z-]+)"\s+content\s*=\s*"([^"]*)"\s*/?>)re"_s,
        QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> tags;
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        tags.insert(match.captured(1).toLower(), match.captured(2));
    }
    page.clickSelector = tags.value(u"zor-click"_s).trimmed();
    page.acceptSeeds = tags.value(u"zor-accept"_s).split(u' ', Qt::SkipEmptyParts);
    page.denySeeds = tags.value(u"zor-deny"_s).split(u' ', Qt::SkipEmptyParts);
    page.firefoxAllowSeeds = tags.value(u"zor-firefox-allow"_s).split(u' ', Qt::SkipEmptyParts);
    for (const QString& entry : tags.value(u"zor-expect"_s).split(u' ', Qt::SkipEmptyParts)) {
        const QString run = entry.section(u'=', 0, 0);
        const QStringList outcomes = entry.section(u'=', 1).split(u',', Qt::SkipEmptyParts);
        if (run.isEmpty() || outcomes.isEmpty() ||
            !std::all_of(outcomes.begin(), outcomes.end(),
                         [](const QString& o) { return Outcomes.contains(o); }))
            problems << u"%1: cannot read the expectation \"%2\""_s.arg(file, entry);
        else
            page.expected.insert(run, outcomes);
    }
    return page;
}

Corpus loadCorpus(const QString& folder) {
    Corpus corpus;
    const QDir dir(folder);
    const QStringList files = dir.entryList({u"*.html"_s}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        corpus.problems << u"%1: no .html pages"_s.arg(folder);
    for (const QString& file : files) {
        QFile in(dir.filePath(file));
        if (!in.open(QIODevice::ReadOnly)) {
            corpus.problems << u"%1: %2"_s.arg(file, in.errorString());
            continue;
        }
        CorpusPage page = parseCorpusPage(file, in.readAll(), corpus.problems);
        (page.expected.isEmpty() ? corpus.helpers : corpus.pages).append(page);
    }
    // A list entry matches every domain it contains, so one page's host inside another's would
    // carry one page's cancels over to the other.
    for (const CorpusPage& a : corpus.pages)
        for (const CorpusPage& b : corpus.pages)
            if (&a != &b && b.host().contains(a.host()))
                corpus.problems << u"%1: its host is part of %2's host"_s.arg(a.file, b.file);
    return corpus;
}
