#include "platform/WebBrowser.h"

#include "platform/Failure.h"

namespace platform {

void WebBrowser::unavailable(const char* property) {
    throw zor::Failure(QStringLiteral("%1: this browser has no such property").arg(QLatin1String(property)));
}

WebBrowser* WebBrowser::Parent() {
    return this;
}
QString WebBrowser::LocationName() const {
    unavailable("LocationName");
}
bool WebBrowser::Busy() const {
    unavailable("Busy");
}
std::int32_t WebBrowser::ReadyState() const {
    unavailable("ReadyState");
}
QString WebBrowser::Name() const {
    unavailable("Name");
}
QString WebBrowser::FullName() const {
    unavailable("FullName");
}
QString WebBrowser::Path() const {
    unavailable("Path");
}
QString WebBrowser::Type() const {
    unavailable("Type");
}
bool WebBrowser::Visible() const {
    unavailable("Visible");
}
bool WebBrowser::AddressBar() const {
    unavailable("AddressBar");
}
bool WebBrowser::MenuBar() const {
    unavailable("MenuBar");
}
bool WebBrowser::StatusBar() const {
    unavailable("StatusBar");
}
bool WebBrowser::ToolBar() const {
    unavailable("ToolBar");
}
bool WebBrowser::FullScreen() const {
    unavailable("FullScreen");
}
bool WebBrowser::TheaterMode() const {
    unavailable("TheaterMode");
}
bool WebBrowser::Offline() const {
    unavailable("Offline");
}
bool WebBrowser::Silent() const {
    unavailable("Silent");
}
bool WebBrowser::Resizable() const {
    unavailable("Resizable");
}
bool WebBrowser::TopLevelContainer() const {
    unavailable("TopLevelContainer");
}
QString WebBrowser::StatusText() const {
    unavailable("StatusText");
}
std::int32_t WebBrowser::Left() const {
    unavailable("Left");
}
std::int32_t WebBrowser::Top() const {
    unavailable("Top");
}
std::int32_t WebBrowser::Width() const {
    unavailable("Width");
}
std::int32_t WebBrowser::Height() const {
    unavailable("Height");
}
QObject* WebBrowser::Application() const {
    unavailable("Application");
}
QObject* WebBrowser::Container() const {
    unavailable("Container");
}
QVariant WebBrowser::GetProperty(const QString&) const {
    unavailable("GetProperty");
}

} // namespace platform
