#pragma once

#include "platform/WebBrowser.h"

#include <QList>
#include <optional>

namespace platform::firefox {

class FirefoxTab;

// What the extension noted about the page's request for a new window.
struct OpenFacts {
    QString url;
    bool userGesture = false;
    bool ctrl = false;
    bool shift = false;
};

class FirefoxDocument : public HtmlDocument {
public:
    explicit FirefoxDocument(FirefoxTab& tab)
        : m_tab(tab) {}
    QString domain() const override;
    bool parentWindowEventIsObject() const override;
    void setWindowOnErrorNull() override;

private:
    FirefoxTab& m_tab;
};

// One Firefox tab as a browser window, kept current by the extension's reports. Tabs of one
// Firefox window share its handle, the window id.
class FirefoxTab : public WebBrowser {
    Q_OBJECT
public:
    FirefoxTab(std::int32_t tabId, QObject* parent = nullptr);

    std::int32_t tabId() const { return m_tabId; }
    void update(std::int32_t windowId, const QString& url, const QString& title);
    // Firefox closed the tab or the relay is gone: every read fails from now on.
    void markGone() { m_gone = true; }
    bool isGone() const { return m_gone; }

    // The facts of the request being decided; nested decisions stack.
    void beginDecision(const OpenFacts& facts) { m_deciding.push_back(facts); }
    void endDecision() { m_deciding.pop_back(); }

    std::int32_t HWND() const override;
    QString LocationURL() const override;
    HtmlDocument* Document() const override;
    QString LocationName() const override;
    QString Name() const override;

private:
    friend class FirefoxDocument;
    void ensureAlive(const char* property) const;

    std::int32_t m_tabId;
    std::int32_t m_windowId = 0;
    QString m_url;
    QString m_title;
    bool m_gone = false;
    QList<OpenFacts> m_deciding;
    mutable FirefoxDocument m_document{*this};
};

} // namespace platform::firefox
