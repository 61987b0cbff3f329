#include "platform/firefox/wire/ExtensionMessage.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <limits>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform::firefox {

namespace {

using Type = ExtensionMessage::Type;
using Direction = ExtensionMessage::Direction;

struct TypeName {
    Type type;
    QLatin1StringView name;
    Direction direction;
};

constexpr TypeName TypeNames[] = {
    {Type::Hello, "hello"_L1, Direction::FromBrowser},
    {Type::Tab, "tab"_L1, Direction::FromBrowser},
    {Type::TabGone, "tabGone"_L1, Direction::FromBrowser},
    {Type::Popup, "popup"_L1, Direction::FromBrowser},
    {Type::Welcome, "welcome"_L1, Direction::ToBrowser},
    {Type::Verdict, "verdict"_L1, Direction::ToBrowser},
};

// Reads the fields of one message and remembers the first one that is missing or of the wrong
// kind; the message is refused as a whole then.
class FieldReader {
public:
    explicit FieldReader(const QJsonObject& object)
        : m_object(object) {}

    std::int32_t integer(QLatin1StringView key) {
        const QJsonValue value = m_object.value(key);
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || number != std::floor(number) ||
            number < std::numeric_limits<std::int32_t>::min() ||
            number > std::numeric_limits<std::int32_t>::max())
            return fail(key, "a whole number"), 0;
        return static_cast<std::int32_t>(number);
    }
    QString text(QLatin1StringView key) {
        const QJsonValue value = m_object.value(key);
        if (!value.isString())
            return fail(key, "a text"), QString();
        return value.toString();
    }
    // A moment in milliseconds since the epoch, which may be left out (0).
    qint64 optionalTime(QLatin1StringView key) {
        if (!m_object.contains(key))
            return 0;
        const QJsonValue value = m_object.value(key);
        const double number = value.toDouble(-1);
        if (!value.isDouble() || number != std::floor(number) || number < 0 || number > 9007199254740992.0)
            return fail(key, "a time in milliseconds"), 0;
        return static_cast<qint64>(number);
    }
    bool boolean(QLatin1StringView key) {
        const QJsonValue value = m_object.value(key);
        if (!value.isBool())
            return fail(key, "true or false"), false;
        return value.toBool();
    }
    const QString& error() const { return m_error; }

private:
    void fail(QLatin1StringView key, const char* kind) {
        if (m_error.isEmpty())
            m_error = u"field \"%1\" must be %2"_s.arg(key, QLatin1StringView(kind));
    }

    const QJsonObject& m_object;
    QString m_error;
};

} // namespace

std::optional<ExtensionMessage> ExtensionMessage::parse(const QByteArray& json, Direction direction,
                                                        QString* error) {
    const auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return refuse(u"not JSON: "_s + parseError.errorString());
    if (!document.isObject())
        return refuse(u"not a JSON object"_s);
    const QJsonObject object = document.object();
    const QString typeName = object.value("type"_L1).toString();
    const TypeName* known = nullptr;
    for (const TypeName& entry : TypeNames)
        if (entry.name == typeName && entry.direction == direction)
            known = &entry;
    if (!known)
        return refuse(u"unknown type \"%1\""_s.arg(typeName.left(40)));

    ExtensionMessage message;
    message.type = known->type;
    FieldReader read(object);
    switch (message.type) {
    case Type::Hello:
        message.version = read.text("version"_L1);
        break;
    case Type::Tab:
        message.tab = read.integer("tab"_L1);
        message.window = read.integer("window"_L1);
        message.url = read.text("url"_L1);
        message.title = read.text("title"_L1);
        break;
    case Type::TabGone:
        message.tab = read.integer("tab"_L1);
        break;
    case Type::Popup:
        message.id = read.integer("id"_L1);
        message.opener = read.integer("opener"_L1);
        message.popupTab = read.integer("popupTab"_L1);
        message.url = read.text("url"_L1);
        message.gesture = read.boolean("gesture"_L1);
        message.ctrl = read.boolean("ctrl"_L1);
        message.shift = read.boolean("shift"_L1);
        message.askedAt = read.optionalTime("askedAt"_L1);
        break;
    case Type::Welcome:
        break;
    case Type::Verdict:
        message.id = read.integer("id"_L1);
        message.cancel = read.boolean("cancel"_L1);
        break;
    }
    if (!read.error().isEmpty())
        return refuse(u"%1: %2"_s.arg(typeName, read.error()));
    return message;
}

QByteArray ExtensionMessage::toJson() const {
    QJsonObject object;
    for (const TypeName& entry : TypeNames)
        if (entry.type == type)
            object.insert("type"_L1, QString(entry.name));
    switch (type) {
    case Type::Hello:
        object.insert("version"_L1, version);
        break;
    case Type::Tab:
        object.insert("tab"_L1, tab);
        object.insert("window"_L1, window);
        object.insert("url"_L1, url);
        object.insert("title"_L1, title);
        break;
    case Type::TabGone:
        object.insert("tab"_L1, tab);
        break;
    case Type::Popup:
        object.insert("id"_L1, id);
        object.insert("opener"_L1, opener);
        object.insert("popupTab"_L1, popupTab);
        object.insert("url"_L1, url);
        object.insert("gesture"_L1, gesture);
        object.insert("ctrl"_L1, ctrl);
        object.insert("shift"_L1, shift);
        if (askedAt > 0)
            object.insert("askedAt"_L1, static_cast<double>(askedAt));
        break;
    case Type::Welcome:
        break;
    case Type::Verdict:
        object.insert("id"_L1, id);
        object.insert("cancel"_L1, cancel);
        break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

ExtensionMessage::Direction ExtensionMessage::direction() const {
    return type == Type::Welcome || type == Type::Verdict ? Direction::ToBrowser : Direction::FromBrowser;
}

ExtensionMessage ExtensionMessage::welcome() {
    ExtensionMessage message;
    message.type = Type::Welcome;
    return message;
}

ExtensionMessage ExtensionMessage::verdict(std::int32_t id, bool cancel) {
    ExtensionMessage message;
    message.type = Type::Verdict;
    message.id = id;
    message.cancel = cancel;
    return message;
}

QString relaySocketFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // The temporary folder is shared by every user: the folder name carries ours there.
    if (runtime.isEmpty())
        return QDir(QDir::tempPath()).filePath(u"zor-brakkon-%1"_s.arg(::getuid()));
    return QDir(runtime).filePath(u"zor-brakkon"_s);
}

QString relaySocketPath() {
    return QDir(relaySocketFolder()).filePath(u"firefox.sock"_s);
}

} // namespace platform::firefox
