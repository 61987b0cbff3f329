// Firefox over WebDriver BiDi: popups are top-level browsing contexts; a popup counts as
// loaded once its document has loaded from the server.
#include "e2e/CorpusBrowser.h"
#include "platform/Failure.h"
#include "support/BidiClient.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

namespace {

class BidiCorpusBrowser : public CorpusBrowser {
public:
    explicit BidiCorpusBrowser(BidiClient& client)
        : m_client(client) {
        m_client.onEvent = [this](const QString& method, const QJsonObject& params) {
            m_events.append({method, params});
        };
        check(m_client.call(
            u"session.subscribe"_s,
            {{"events"_L1, QJsonArray{"browsingContext.contextCreated"_L1,
                                      "browsingContext.contextDestroyed"_L1, "browsingContext.load"_L1}}}));
    }
    ~BidiCorpusBrowser() override { m_client.onEvent = nullptr; }

    QString openTab(const QString& url) override {
        const QString tab = m_client.openTab(url);
        if (tab.isEmpty())
            throw zor::Failure(u"Firefox opened no tab for "_s + url);
        return tab;
    }
    QJsonValue evaluate(const QString& tab, const QString& expression) override {
        return check(m_client.call(u"script.evaluate"_s,
                                   {{"expression"_L1, expression},
                                    {"target"_L1, QJsonObject{{"context"_L1, tab}}},
                                    {"awaitPromise"_L1, true}},
                                   5000))
            .value("result"_L1)
            .toObject()
            .value("value"_L1);
    }
    void click(const QString& tab, const QString& selector) override { check(m_client.click(tab, selector)); }
    qsizetype mark() const override { return m_events.size(); }

    QHash<QString, Popup> popupsSince(qsizetype mark, const QString& tab) const override {
        QHash<QString, Popup> popups;
        for (qsizetype i = mark; i < m_events.size(); ++i) {
            const auto& [method, params] = m_events[i];
            const QString id = params.value("context"_L1).toString();
            if (method == "browsingContext.contextCreated"_L1 && id != tab &&
                !params.value("parent"_L1).isString())
                popups[id];
            else if (method == "browsingContext.load"_L1 && popups.contains(id))
                popups[id].url = params.value("url"_L1).toString();
            else if (method == "browsingContext.contextDestroyed"_L1 && popups.contains(id))
                popups[id].destroyed = true;
        }
        return popups;
    }

    void closeTabs(const QStringList& tabs) override {
        for (const QString& id : tabs)
            zor::tryStep("closing a corpus tab", [&] {
                check(m_client.call(u"browsingContext.close"_s, {{"context"_L1, id}}));
            });
    }

private:
    static QJsonObject check(const QJsonObject& answer) {
        if (answer.contains("error"_L1))
            throw zor::Failure(answer.value("error"_L1).toString());
        return answer;
    }

    BidiClient& m_client;
    QList<std::pair<QString, QJsonObject>> m_events;
};

} // namespace

std::unique_ptr<CorpusBrowser> CorpusBrowser::over(BidiClient& client) {
    return std::make_unique<BidiCorpusBrowser>(client);
}
