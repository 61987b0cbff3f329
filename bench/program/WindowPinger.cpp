#include "WindowPinger.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                     xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 64), nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

QString text(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 256), nullptr),
        &std::free);
    if (!reply || reply->format != 8)
        return {};
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
}

// Milliseconds the main threads have spent ready to run but waiting for a processor, so far.
double runQueueWaitMs(const std::vector<QByteArray>& paths) {
    double sum = 0;
    for (const QByteArray& path : paths) {
        FILE* file = std::fopen(path.constData(), "r");
        if (!file)
            continue;
        unsigned long long running = 0, waiting = 0;
        if (std::fscanf(file, "%llu %llu", &running, &waiting) == 2)
            sum += static_cast<double>(waiting) / 1e6;
        std::fclose(file);
    }
    return sum;
}

constexpr qint64 FinalAnswerMs = 2000;

struct Connection {
    Connection()
        : c(xcb_connect(nullptr, nullptr)) {}
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return !xcb_connection_has_error(c); }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    xcb_connection_t* c;
};

} // namespace

WindowPinger::WindowPinger(std::uint32_t window, const QList<qint64>& waiterPids, int intervalMs)
    : m_window(window)
    , m_waiterPids(waiterPids)
    , m_intervalMs(intervalMs) {}

WindowPinger::~WindowPinger() {
    stop();
}

void WindowPinger::start() {
    stop();
    m_stop = false;
    m_roundTrips.clear();
    m_openMs = -1;
    m_maxOwnMs = 0;
    m_thread = std::thread([this] { run(); });
}

WindowPinger::Figures WindowPinger::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    Figures figures;
    std::vector<double> all = m_roundTrips;
    figures.answered = static_cast<int>(all.size());
    if (m_openMs >= 0) {
        figures.unanswered = 1;
        all.push_back(m_openMs);
    }
    if (!all.empty()) {
        figures.maxMs = *std::max_element(all.begin(), all.end());
        std::nth_element(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2), all.end());
        figures.medianMs = all[all.size() / 2];
    }
    figures.maxOwnMs = std::max(m_maxOwnMs, m_openMs);
    return figures;
}

void WindowPinger::run() {
    Connection x;
    if (!x.ok())
        return;
    const xcb_atom_t protocols = atom(x.c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(x.c, "_NET_WM_PING");
    // The answer goes to the root window, for whoever watches its structure.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.c, x.root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.c);

    std::vector<QByteArray> schedstat;
    for (const qint64 pid : m_waiterPids)
        schedstat.push_back("/proc/" + QByteArray::number(pid) + "/task/" + QByteArray::number(pid) +
                            "/schedstat");
    std::uint32_t serial = 0;
    QElapsedTimer pace;
    pace.start();
    while (!m_stop) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = m_window;
        message.type = protocols;
        message.data.data32[0] = ping;
        message.data.data32[1] = ++serial; // the timestamp field: any value comes back as sent
        message.data.data32[2] = m_window;
        const double waitedBefore = runQueueWaitMs(schedstat);
        QElapsedTimer roundTrip;
        roundTrip.start();
        xcb_send_event(x.c, 0, m_window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(x.c);
        bool answered = false;
        // A ping in flight when the run ends still gets its answer: the stop says nothing about
        // the window, only one that stays silent for long does.
        while (!answered && !(m_stop && roundTrip.elapsed() > FinalAnswerMs) &&
               !xcb_connection_has_error(x.c)) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(x.c)) {
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    const auto* reply = reinterpret_cast<const xcb_client_message_event_t*>(event);
                    answered = answered || (reply->type == protocols && reply->data.data32[0] == ping &&
                                            reply->data.data32[1] == serial);
                }
                std::free(event);
            }
            if (!answered) {
                pollfd fd{xcb_get_file_descriptor(x.c), POLLIN, 0};
                ::poll(&fd, 1, 5);
            }
        }
        const double ms = static_cast<double>(roundTrip.nsecsElapsed()) / 1e6;
        const double ownMs = ms - (runQueueWaitMs(schedstat) - waitedBefore);
        {
            std::lock_guard lock(m_mutex);
            m_maxOwnMs = std::max(m_maxOwnMs, ownMs);
            if (answered)
                m_roundTrips.push_back(ms);
            else
                m_openMs = ms;
        }
        const qint64 next = static_cast<qint64>(serial) * m_intervalMs;
        while (!m_stop && pace.elapsed() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool WindowPinger::supportsPing(std::uint32_t window) {
    Connection x;
    if (!x.ok())
        return false;
    const auto listed = cardinals(x.c, window, atom(x.c, "WM_PROTOCOLS"), XCB_ATOM_ATOM);
    return std::find(listed.begin(), listed.end(), atom(x.c, "_NET_WM_PING")) != listed.end();
}

std::uint32_t WindowPinger::topLevelOf(qint64 pid, const QString& titlePart) {
    Connection x;
    if (!x.ok())
        return 0;
    const xcb_atom_t pidAtom = atom(x.c, "_NET_WM_PID");
    const xcb_atom_t nameAtom = atom(x.c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(x.c, "UTF8_STRING");
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x.c, xcb_query_tree(x.c, x.root()), nullptr),
                                       &std::free);
    if (!tree)
        return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t window = children[i];
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, window), nullptr),
            &std::free);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const auto pids = cardinals(x.c, window, pidAtom, XCB_ATOM_CARDINAL);
        if (pids.empty() || pids.front() != static_cast<std::uint32_t>(pid))
            continue;
        if (text(x.c, window, nameAtom, utf8).contains(titlePart))
            return window;
    }
    return 0;
}

qint64 WindowPinger::ownXServerPid() {
    const QByteArray self = QByteArray::number(::getpid());
    for (const QFileInfo& entry :
         QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(entry.filePath() + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        if (text.mid(text.indexOf('(') + 1, close - text.indexOf('(') - 1) == "Xvfb" &&
            text.mid(close + 2).split(' ').value(1) == self)
            return entry.fileName().toLongLong();
    }
    return 0;
}
