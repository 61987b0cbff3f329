#include "platform/cdp/CdpPage.h"

#include "platform/Failure.h"
#include "platform/cdp/DevToolsBrowser.h"

namespace platform::cdp {

using zor::Failure;

CdpPage::CdpPage(DevToolsBrowser& browser, QString targetId, QString sessionId)
    : m_browser(&browser)
    , m_targetId(std::move(targetId))
    , m_sessionId(std::move(sessionId)) {}

void CdpPage::ensureAlive(const char* property) const {
    if (m_gone || !m_browser || !m_browser->isConnected())
        throw Failure(QStringLiteral("%1: the page has closed").arg(QLatin1String(property)));
}

std::int32_t CdpPage::HWND() const {
    ensureAlive("HWND");
    if (!m_state.windowId)
        throw Failure(QStringLiteral("HWND: the page's window is not known yet"));
    return *m_state.windowId;
}

QString CdpPage::LocationURL() const {
    ensureAlive("LocationURL");
    return m_state.url;
}

HtmlDocument* CdpPage::Document() const {
    return m_gone ? nullptr : &m_document;
}

QString CdpPage::LocationName() const {
    ensureAlive("LocationName");
    return m_state.title;
}

bool CdpPage::Busy() const {
    ensureAlive("Busy");
    return m_state.loading;
}

std::int32_t CdpPage::ReadyState() const {
    ensureAlive("ReadyState");
    return m_state.readyState;
}

QString CdpPage::Name() const {
    ensureAlive("Name");
    return m_browser->productName();
}

QString CdpPage::Type() const {
    ensureAlive("Type");
    if (m_state.mimeType.isEmpty())
        throw Failure(QStringLiteral("Type: no document has loaded yet"));
    return m_state.mimeType;
}

QString CdpDocument::domain() const {
    m_page.ensureAlive("document.domain");
    if (!m_page.m_state.domain)
        throw Failure(QStringLiteral("document.domain: the page has not loaded yet"));
    return *m_page.m_state.domain;
}

bool CdpDocument::parentWindowEventIsObject() const {
    m_page.ensureAlive("window.event");
    if (m_page.m_deciding.isEmpty())
        throw Failure(QStringLiteral("window.event: no new window of this page is being decided"));
    const auto& facts = m_page.m_deciding.constLast();
    if (!facts)
        throw Failure(QStringLiteral("window.event: the browser did not report the request"));
    return facts->userGesture;
}

void CdpDocument::setWindowOnErrorNull() {
    m_page.ensureAlive("window.onerror");
    m_page.m_browser->evaluateWithoutWaiting(m_page.m_sessionId, QStringLiteral("window.onerror = null"));
}

} // namespace platform::cdp
