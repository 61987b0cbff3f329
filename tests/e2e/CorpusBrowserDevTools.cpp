// Chromium over its DevTools protocol: popups are page targets, their addresses as the
// target info gives them.
#include "e2e/CorpusBrowser.h"
#include "platform/Failure.h"
#include "support/BrowserTestClient.h"

#include <QSet>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

class DevToolsCorpusBrowser : public CorpusBrowser {
public:
    explicit DevToolsCorpusBrowser(BrowserTestClient& client)
        : m_client(client) {
        m_client.call(u"Target.setDiscoverTargets"_s, {{"discover"_L1, true}});
    }

    QString openTab(const QString& url) override {
        const QString tab = m_client.openTab(url);
        m_sessions.insert(tab, m_client.attach(tab));
        return tab;
    }
    QJsonValue evaluate(const QString& tab, const QString& expression) override {
        return m_client.evaluate(m_sessions.value(tab), expression, true);
    }
    void click(const QString& tab, const QString& selector) override {
        m_client.click(m_sessions.value(tab), selector);
    }
    qsizetype mark() const override { return m_client.events().size(); }

    QHash<QString, Popup> popupsSince(qsizetype mark, const QString& tab) const override {
        QHash<QString, Popup> popups;
        const auto events = m_client.events();
        for (qsizetype i = mark; i < events.size(); ++i) {
            const auto& event = events[i];
            const QJsonObject info = event.params.value("targetInfo"_L1).toObject();
            const QString id = info.isEmpty() ? event.params.value("targetId"_L1).toString()
                                              : info.value("targetId"_L1).toString();
            if (id == tab || id.isEmpty())
                continue;
            if (event.method == u"Target.targetCreated"_s && info.value("type"_L1).toString() == u"page"_s)
                popups[id].url = info.value("url"_L1).toString();
            else if (event.method == u"Target.targetInfoChanged"_s && popups.contains(id))
                popups[id].url = info.value("url"_L1).toString();
            else if (event.method == u"Target.targetDestroyed"_s && popups.contains(id))
                popups[id].destroyed = true;
        }
        return popups;
    }

    void closeTabs(const QStringList& tabs) override {
        const qsizetype before = mark();
        for (const QString& id : tabs) {
            m_sessions.remove(id);
            zor::tryStep("closing a corpus tab", [&] {
                m_client.call(u"Target.closeTarget"_s, {{"targetId"_L1, id}});
            });
        }
        waitUntil(
            [&] {
                QSet<QString> gone;
                const auto events = m_client.events();
                for (qsizetype i = before; i < events.size(); ++i)
                    if (events[i].method == u"Target.targetDestroyed"_s)
                        gone.insert(events[i].params.value("targetId"_L1).toString());
                return std::all_of(tabs.begin(), tabs.end(),
                                   [&](const QString& id) { return gone.contains(id); });
            },
            3000);
    }

private:
    BrowserTestClient& m_client;
    QHash<QString, QString> m_sessions; // tab -> flat session
};

} // namespace

std::unique_ptr<CorpusBrowser> CorpusBrowser::over(BrowserTestClient& client) {
    return std::make_unique<DevToolsCorpusBrowser>(client);
}
