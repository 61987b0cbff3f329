#pragma once

#include "platform/WebBrowser.h"

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

    QString domain() const override;
    bool parentWindowEventIsObject() const override;
    void setWindowOnErrorNull() override;
};

class FakeWebBrowser : public platform::WebBrowser {
    Q_OBJECT
public:
    explicit FakeWebBrowser(std::int32_t handle, QString url = {});

    std::int32_t handle;
    QString url;
    QString title;
    bool handleFails = false;
    bool urlFails = false;
    bool hasDocument = true; // false: Document() gives nullptr
    FakeHtmlDocument document;

    std::int32_t HWND() const override;
    QString LocationURL() const override;
    QString LocationName() const override;
    platform::HtmlDocument* Document() const override;
    platform::WebBrowser* Parent() override;

    // Asks for a new window as the browser does: Cancel starts false, listeners run
    // synchronously, and what Cancel holds afterwards (also when a listener threw) is returned.
    bool fireNewWindow2();
};

class FakeShellWindows : public platform::ShellWindows {
    Q_OBJECT
public:
    bool listingFails = false;

    // Adds a window at the end and announces it (WindowRegistered).
    FakeWebBrowser& addWindow(std::int32_t handle, const QString& url = {});
    // Removes and deletes the window, then announces it (WindowRevoked).
    void removeWindow(FakeWebBrowser& window);

    QList<platform::WebBrowser*> items() const override;

private:
    std::vector<std::unique_ptr<FakeWebBrowser>> m_windows;
};
