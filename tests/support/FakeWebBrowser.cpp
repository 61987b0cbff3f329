#include "support/FakeWebBrowser.h"

#include "platform/Failure.h"

#include <algorithm>

using zor::Failure;

QString FakeHtmlDocument::domain() const {
    if (domainFails)
        throw Failure(QStringLiteral("fake: domain read refused"));
    return domainText;
}

bool FakeHtmlDocument::parentWindowEventIsObject() const {
    if (!userGesture)
        throw Failure(QStringLiteral("fake: event read refused"));
    return *userGesture;
}

void FakeHtmlDocument::setWindowOnErrorNull() {
    if (onErrorFails)
        throw Failure(QStringLiteral("fake: onerror write refused"));
    ++onErrorWrites;
}

FakeWebBrowser::FakeWebBrowser(std::int32_t handle, QString url)
    : handle(handle)
    , url(std::move(url)) {}

std::int32_t FakeWebBrowser::HWND() const {
    if (handleFails)
        throw Failure(QStringLiteral("fake: handle read refused"));
    return handle;
}

QString FakeWebBrowser::LocationURL() const {
    if (urlFails)
        throw Failure(QStringLiteral("fake: address read refused"));
    return url;
}

QString FakeWebBrowser::LocationName() const {
    return title;
}

platform::HtmlDocument* FakeWebBrowser::Document() const {
    return hasDocument ? const_cast<FakeHtmlDocument*>(&document) : nullptr;
}

platform::WebBrowser* FakeWebBrowser::Parent() {
    return this;
}

bool FakeWebBrowser::fireNewWindow2() {
    QObject* disp = nullptr;
    bool cancel = false;
    try {
        emit NewWindow2(disp, cancel);
    } catch (...) {
        // The browser acts on what Cancel holds when the listener gave up.
    }
    return cancel;
}

FakeWebBrowser& FakeShellWindows::addWindow(std::int32_t handle, const QString& url) {
    m_windows.push_back(std::make_unique<FakeWebBrowser>(handle, url));
    FakeWebBrowser& added = *m_windows.back();
    emit WindowRegistered(0);
    return added;
}

void FakeShellWindows::removeWindow(FakeWebBrowser& window) {
    const auto it =
        std::find_if(m_windows.begin(), m_windows.end(), [&](const auto& w) { return w.get() == &window; });
    if (it == m_windows.end())
        return;
    std::unique_ptr<FakeWebBrowser> removed = std::move(*it);
    m_windows.erase(it);
    emit WindowRevoked(0);
}

QList<platform::WebBrowser*> FakeShellWindows::items() const {
    if (listingFails)
        throw Failure(QStringLiteral("fake: window list refused"));
    QList<platform::WebBrowser*> list;
    for (const auto& window : m_windows)
        list.append(window.get());
    return list;
}
