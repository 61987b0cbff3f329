#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace platform::firefox {

// One message between the companion extension and the program, as the relay passes it on.
// Both ends check every message against the same rules, so a damaged or foreign message is
// dropped where it is first seen and the other side never has to guess.
struct ExtensionMessage {
    enum class Type {
        // extension -> program
        Hello,   // version
        Tab,     // tab, window, url, title: a tab appeared or changed
        TabGone, // tab
        Popup,   // id, opener, popupTab, url, gesture, ctrl, shift, askedAt: decide this new window
        // program -> extension
        Welcome, // the program is there and will answer popups
        Verdict, // id, cancel
    };
    enum class Direction { FromBrowser, ToBrowser };

    Type type = Type::Hello;
    std::int32_t id = 0;
    std::int32_t tab = 0;
    std::int32_t window = 0;
    std::int32_t opener = 0;
    std::int32_t popupTab = 0;
    QString url;
    QString title;
    QString version;
    bool gesture = false;
    bool ctrl = false;
    bool shift = false;
    bool cancel = false;
    // When the extension asked, in milliseconds since the epoch; 0 when it did not say.
    qint64 askedAt = 0;

    // The message, or why it is refused (put into error when given).
    static std::optional<ExtensionMessage> parse(const QByteArray& json, Direction direction,
                                                 QString* error = nullptr);
    QByteArray toJson() const;
    Direction direction() const;

    static ExtensionMessage welcome();
    static ExtensionMessage verdict(std::int32_t id, bool cancel);
};

// Where the running program listens for relays: a folder of the user's own in
// $XDG_RUNTIME_DIR (the temporary folder when unset).
QString relaySocketFolder();
QString relaySocketPath();

} // namespace platform::firefox
