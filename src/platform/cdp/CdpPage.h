#pragma once

#include "platform/WebBrowser.h"
#include "platform/cdp/PopupRequest.h"

#include <QPointer>
#include <optional>

namespace platform::cdp {

class CdpPage;
class DevToolsBrowser;

class CdpDocument : public HtmlDocument {
public:
    explicit CdpDocument(CdpPage& page)
        : m_page(page) {}
    QString domain() const override;
    bool parentWindowEventIsObject() const override;
    void setWindowOnErrorNull() override;

private:
    CdpPage& m_page;
};

// What the protocol has told us about one page, kept current by its events.
struct PageState {
    std::optional<std::int32_t> windowId;
    QString url;
    QString title;
    std::optional<QString> domain; // none until the main frame has been seen
    bool windowUnknown = false;    // the browser would not say which window holds the page
    QString mimeType;
    bool loading = false;
    std::int32_t readyState = 0; // uninitialized, loading 1, interactive 3, complete 4
};

// One page target (a tab) as a browser window: every read answers from PageState, never
// from a round trip.
class CdpPage : public WebBrowser {
    Q_OBJECT
public:
    CdpPage(DevToolsBrowser& browser, QString targetId, QString sessionId);

    const QString& targetId() const { return m_targetId; }
    const QString& sessionId() const { return m_sessionId; }
    DevToolsBrowser* browser() const { return m_browser; }
    PageState& state() { return m_state; }
    const PageState& state() const { return m_state; }
    bool isListed() const { return m_listed; }
    void setListed(bool listed) { m_listed = listed; }
    // Listed as soon as the browser's answers about it arrive.
    bool awaitsListing() const { return !m_listed && !m_gone && !m_state.windowUnknown; }
    // The browser has gone or closed the page: every read fails from now on.
    void markGone() { m_gone = true; }
    bool isGone() const { return m_gone; }

    // The facts of the request whose decision is running; a nested decision of another popup
    // of this page pushes its own and pops it when done.
    void beginDecision(const std::optional<WindowOpenFacts>& facts) { m_deciding.push_back(facts); }
    void endDecision() { m_deciding.pop_back(); }

    std::int32_t HWND() const override;
    QString LocationURL() const override;
    HtmlDocument* Document() const override;
    QString LocationName() const override;
    bool Busy() const override;
    std::int32_t ReadyState() const override;
    QString Name() const override;
    QString Type() const override;

private:
    friend class CdpDocument;
    void ensureAlive(const char* property) const;

    QPointer<DevToolsBrowser> m_browser;
    QString m_targetId;
    QString m_sessionId;
    PageState m_state;
    bool m_listed = false;
    bool m_gone = false;
    QList<std::optional<WindowOpenFacts>> m_deciding;
    mutable CdpDocument m_document{*this};
};

} // namespace platform::cdp
