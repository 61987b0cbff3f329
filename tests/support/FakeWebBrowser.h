#pragma once

#include "platform/Failure.h"
#include "platform/WebBrowser.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

// A browser set for tests of code above the browser layer: windows with chosen handles,
// addresses and documents, every read can be made to fail, and a window can ask for a new
// window the way a real browser does.

class FakeHtmlDocument : public platform::HtmlDocument {
public:
    QString domainText;
    bool domainFails = false;
    std::optional<bool> userGesture; // empty: the read fails
    bool onErrorFails = false;
    int onErrorWrites = 0; // successful window.onerror = null writes

    QString domain() const override {
        refuseIf(domainFails, "domain read");
        return domainText;
    }
    bool parentWindowEventIsObject() const override {
        refuseIf(!userGesture, "event read");
        return *userGesture;
    }
    void setWindowOnErrorNull() override {
        refuseIf(onErrorFails, "onerror write");
        ++onErrorWrites;
    }
    static void refuseIf(bool fails, const char* what) {
        if (fails)
            throw zor::Failure(QStringLiteral("fake: %1 refused").arg(QLatin1String(what)));
    }
};

class FakeWebBrowser : public platform::WebBrowser {
    Q_OBJECT
public:
    explicit FakeWebBrowser(std::int32_t handle, QString url = {})
        : handle(handle)
        , url(std::move(url)) {}

    std::int32_t handle;
    QString url;
    bool handleFails = false;
    bool urlFails = false;
    bool hasDocument = true; // false: Document() gives nullptr
    FakeHtmlDocument document;

    std::int32_t HWND() const override {
        FakeHtmlDocument::refuseIf(handleFails, "handle read");
        return handle;
    }
    QString LocationURL() const override {
        FakeHtmlDocument::refuseIf(urlFails, "address read");
        return url;
    }
    platform::HtmlDocument* Document() const override {
        return hasDocument ? const_cast<FakeHtmlDocument*>(&document) : nullptr;
    }

    // Asks for a new window as the browser does: Cancel starts false, listeners run
    // synchronously, and what Cancel holds afterwards (also when a listener threw) is returned.
    bool fireNewWindow2() {
        QObject* disp = nullptr;
        bool cancel = false;
        try {
            emit NewWindow2(disp, cancel);
        } catch (...) {
            // The browser acts on what Cancel holds when the listener gave up.
        }
        return cancel;
    }
};

class FakeShellWindows : public platform::ShellWindows {
    Q_OBJECT
public:
    bool listingFails = false;

    // Adds a window at the end and announces it (WindowRegistered).
    FakeWebBrowser& addWindow(std::int32_t handle, const QString& url = {}) {
        m_windows.push_back(std::make_unique<FakeWebBrowser>(handle, url));
        emit WindowRegistered(0);
        return *m_windows.back();
    }
    // Takes the window out of the list and announces it (WindowRevoked); it is deleted only after
    // the announcement, so listeners may still read it.
    void removeWindow(FakeWebBrowser& window) {
        const auto it = std::find_if(m_windows.begin(), m_windows.end(),
                                     [&](const auto& w) { return w.get() == &window; });
        if (it == m_windows.end())
            return;
        std::unique_ptr<FakeWebBrowser> removed = std::move(*it);
        m_windows.erase(it);
        emit WindowRevoked(0);
    }

    QList<platform::WebBrowser*> items() const override {
        FakeHtmlDocument::refuseIf(listingFails, "window list");
        QList<platform::WebBrowser*> list;
        for (const auto& window : m_windows)
            list.append(window.get());
        return list;
    }

private:
    std::vector<std::unique_ptr<FakeWebBrowser>> m_windows;
};
