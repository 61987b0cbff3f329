#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <list>

// A WebSocket frame as a server sends it, unmasked unless asked (with a key of zeros, which leaves
// the payload as it is); up to 64 KiB.
QByteArray serverFrame(char first, const QByteArray& payload, bool masked = false);

// A loopback TCP relay in front of a browser's DevTools port, so a test can cut the program's
// connection in the middle of something while the browser itself stays up, or hand on some of the
// browser's messages later than it sent them.
class ChromiumProxy : public QObject {
    Q_OBJECT
public:
    explicit ChromiumProxy(quint16 targetPort);
    quint16 port() const { return m_server.serverPort(); }
    // Cuts every connection relayed so far; new ones are still accepted.
    void dropAll();
    int accepted() const { return m_accepted; }
    // Events of these methods are handed on only after the next popup's attach, as a busy browser
    // may deliver them: its renderers report over other channels than the browser process.
    void deliverLate(const QByteArrayList& methods) { m_late = methods; }
    // Events of these methods are never handed on, as a renderer that reports them before its
    // DevTools agent is attached loses them.
    void drop(const QByteArrayList& methods) { m_dropped = methods; }
    // Popups reported again after a reconnect come with this address, as a busy browser may
    // report a popup held before it loaded anything.
    void addressReportedPopups(const QByteArray& url) { m_popupUrl = url; }
    // Answers to commands that contain this text are handed on only at releaseAnswers(), as a
    // busy browser may answer late.
    void holdAnswers(const QByteArray& text) { m_heldAnswers = text; }
    void releaseAnswers();
    int popupsAttached() const { return m_popupsAttached; }

private:
    struct Pair {
        QPointer<QTcpSocket> client;
        QPointer<QTcpSocket> upstream;
        QByteArray pending; // from the browser, not yet a whole WebSocket frame
        bool upgraded = false;
        QByteArrayList held;
        QByteArrayList answers;
    };
    void relayFromBrowser(Pair& pair);

    QTcpServer m_server;
    quint16 m_target;
    int m_accepted = 0;
    QByteArrayList m_late;
    QByteArrayList m_dropped;
    QByteArray m_popupUrl;
    QByteArray m_heldAnswers;
    int m_popupsAttached = 0;
    std::list<Pair> m_pairs;
};
