#pragma once

#include <QHash>
#include <QJsonValue>
#include <QStringList>
#include <memory>

class BidiClient;
class BrowserTestClient;

// The browser a corpus visit drives, whichever protocol reaches it: Chromium over DevTools,
// Firefox over WebDriver BiDi. Tabs are named by the protocol's own ids. Failures throw
// zor::Failure.
class CorpusBrowser {
public:
    struct Popup {
        QString url; // the address it loaded, empty until then
        bool destroyed = false;
    };

    virtual ~CorpusBrowser() = default;
    // A new tab at the address, once it has begun to load.
    virtual QString openTab(const QString& url) = 0;
    // The value of a script in the tab's page; a promise is waited for.
    virtual QJsonValue evaluate(const QString& tab, const QString& expression) = 0;
    // A trusted click at the centre of the element, not waiting for what it opens.
    virtual void click(const QString& tab, const QString& selector) = 0;
    // Marks the events so far; popupsSince() looks only at those that come later.
    virtual qsizetype mark() const = 0;
    // Top-level tabs and windows other than the page's own tab that appeared after the mark.
    virtual QHash<QString, Popup> popupsSince(qsizetype mark, const QString& tab) const = 0;
    virtual void closeTabs(const QStringList& tabs) = 0;

    static std::unique_ptr<CorpusBrowser> over(BrowserTestClient& client);
    static std::unique_ptr<CorpusBrowser> over(BidiClient& client);
};
