#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// One page of the popup corpus and what a user should see on it. A page states its expected
// outcomes in <meta> tags, so new pages need no code:
//   zor-expect         "mode0=cancelled mode1=cancelled,cancelled *=opened": per run, one outcome
//                      per popup the page asks for: opened, cancelled (by this program) or never
//                      (the browser itself refuses it); "*" covers the runs not named
//   zor-click          CSS selector the user clicks once the page has loaded
//   zor-accept/-deny   list entries to put on the accepted / denied list before the run;
//                      {host} and {port} stand for the page's host and the server's port
//   zor-firefox-allow  sites the user allowed popups for in Firefox, as zor-accept
// The run "blocker" has a browser that refuses script popups itself: it visits only the pages
// that name it, and those pages are visited by no other run.
// A run "firefox-<run>" is <run> in Firefox, whose own blocker refuses popups without a user
// gesture unless the site is allowed: a page whose outcome differs there names its Firefox runs
// ("firefox-*" for all of them) and is visited only in those; other pages expect what they
// expect in <run>.
// A page is served on http://<file name without .html>.test:<port>/<file name>. Files without
// zor-expect are helpers (frame contents).
struct CorpusPage {
    QString file;
    QString title;
    QString clickSelector;
    QHash<QString, QStringList> expected; // run name ("mode0", ..., "*") -> outcomes
    QStringList acceptSeeds;
    QStringList denySeeds;
    QStringList firefoxAllowSeeds;
    QByteArray html;

    QString host() const;
    // The outcomes expected in the run, sorted; empty when the page names neither it nor "*".
    QStringList expectedIn(const QString& run) const;
    bool visitedIn(const QString& run) const;
};

struct Corpus {
    QList<CorpusPage> pages;   // those with expectations, by file name
    QList<CorpusPage> helpers; // everything else that is served
    QStringList problems;      // what could not be read, or pages that would disturb each other
};

// Every .html file of the folder.
Corpus loadCorpus(const QString& folder);
