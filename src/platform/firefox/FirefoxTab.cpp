#include "platform/firefox/FirefoxTab.h"

#include "platform/Failure.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace platform::firefox {

using zor::Failure;

FirefoxTab::FirefoxTab(std::int32_t tabId, QObject* parent)
    : WebBrowser(parent)
    , m_tabId(tabId) {}

void FirefoxTab::update(std::int32_t windowId, const QString& url, const QString& title) {
    const bool retitled = !m_title.isEmpty() && title != m_title;
    m_windowId = windowId;
    m_url = url;
    m_title = title;
    if (retitled)
        emit TitleChange(title);
}

void FirefoxTab::ensureAlive(const char* property) const {
    if (m_gone)
        throw Failure(u"%1: the tab has closed"_s.arg(QLatin1StringView(property)));
}

std::int32_t FirefoxTab::HWND() const {
    ensureAlive("HWND");
    return m_windowId;
}

QString FirefoxTab::LocationURL() const {
    ensureAlive("LocationURL");
    return m_url;
}

HtmlDocument* FirefoxTab::Document() const {
    return m_gone ? nullptr : &m_document;
}

QString FirefoxTab::LocationName() const {
    ensureAlive("LocationName");
    return m_title;
}

QString FirefoxTab::Name() const {
    ensureAlive("Name");
    return u"Firefox"_s;
}

QString FirefoxDocument::domain() const {
    m_tab.ensureAlive("document.domain");
    // The host of the page's origin: pages without a network origin have none.
    const QUrl url(m_tab.m_url);
    const QString scheme = url.scheme();
    if (scheme == "http"_L1 || scheme == "https"_L1 || scheme == "ftp"_L1)
        return url.host();
    return QString();
}

bool FirefoxDocument::parentWindowEventIsObject() const {
    m_tab.ensureAlive("window.event");
    if (m_tab.m_deciding.isEmpty())
        throw Failure(u"window.event: no new window of this tab is being decided"_s);
    return m_tab.m_deciding.constLast().userGesture;
}

void FirefoxDocument::setWindowOnErrorNull() {
    m_tab.ensureAlive("window.onerror");
    // The extension runs no script in pages on the program's behalf.
    throw Failure(u"window.onerror: Firefox pages are not scripted by the program"_s);
}

} // namespace platform::firefox
