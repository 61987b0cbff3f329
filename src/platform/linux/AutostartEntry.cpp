#include "platform/linux/AutostartEntry.h"

#include "platform/Log.h"
#include "platform/common/XdgPaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace platform {

namespace {

// Characters that make the desktop-entry rules require an argument to be quoted.
bool needsQuotes(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    if (arg.isEmpty())
        return true;
    for (QChar c : arg)
        if (reserved.contains(c))
            return true;
    return false;
}

// Key-file level: backslash escapes of string values.
QString escapeKeyFile(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
    return out;
}

QString unescapeKeyFile(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else
            out += next; // "\\" and anything else
    }
    return out;
}

} // namespace

QString AutostartEntry::folder() {
    return XdgPaths::configHome() + QLatin1String("/autostart");
}

QString AutostartEntry::pathFor(const QString& name) {
    return folder() + QLatin1Char('/') + name + QLatin1String(".desktop");
}

QString AutostartEntry::execValue(const QString& programPath) {
    QString arg;
    if (needsQuotes(programPath)) {
        arg = QLatin1String("\"");
        for (QChar c : programPath) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                arg += u'\\';
            arg += c;
        }
        arg += u'"';
    } else {
        arg = programPath;
    }
    arg.replace(QLatin1String("%"), QLatin1String("%%"));
    return escapeKeyFile(arg);
}

std::optional<QString> AutostartEntry::commandFromExec(const QString& execValue) {
    const QString line = unescapeKeyFile(execValue);
    QStringList args;
    QString current;
    bool inArg = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"') {
            inArg = true;
            for (++i; i < line.size() && line[i] != u'"'; ++i) {
                if ((line[i] == u'\\' || (line[i] == u'%' && line.mid(i, 2) == QLatin1String("%%"))) &&
                    i + 1 < line.size())
                    ++i;
                current += line[i];
            }
            if (i >= line.size())
                return std::nullopt; // unterminated quote
        } else if (c == u' ' || c == u'\t') {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else if (c == u'%' && i + 1 < line.size()) {
            ++i;
            if (line[i] == u'%') {
                current += u'%';
                inArg = true;
            }
            // Field codes (%f, %u, ...) expand to nothing at login.
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    if (args.isEmpty())
        return std::nullopt;
    return args.join(QLatin1Char(' '));
}

bool AutostartEntry::write(const QString& name, const QString& programPath) {
    if (!QDir().mkpath(folder())) {
        qCWarning(lcPlatform, "cannot create %s", qUtf8Printable(folder()));
        return false;
    }
    // No Icon key: the program draws its tray icons and ships no picture a session could show.
    const QString text = QLatin1String("[Desktop Entry]\n"
                                       "Type=Application\n"
                                       "Name=ZOR Brakkon\n"
                                       "Comment=Stops unwanted popup windows in your web browsers\n"
                                       "Exec=") +
                         execValue(programPath) +
                         // Sessions skip the entry once the program is uninstalled.
                         QLatin1String("\nTryExec=") + escapeKeyFile(programPath) +
                         QLatin1String("\n"
                                       "Terminal=false\n"
                                       "X-GNOME-Autostart-enabled=true\n");
    QSaveFile file(pathFor(name));
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcPlatform, "cannot write %s: %s", qUtf8Printable(pathFor(name)),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    // A short file must be flushed here: a write that fails only in commit() goes unnoticed
    // there and the cut-off file would replace the old one.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        qCWarning(lcPlatform, "cannot write %s: %s", qUtf8Printable(pathFor(name)),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

std::optional<QString> AutostartEntry::read(const QString& name) {
    QFile file(pathFor(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QLatin1String("Exec")) &&
                 line.mid(4).trimmed().startsWith(u'='))
            return commandFromExec(line.mid(line.indexOf(u'=') + 1).trimmed());
    }
    return std::nullopt;
}

bool AutostartEntry::remove(const QString& name) {
    QFile file(pathFor(name));
    return file.exists() && file.remove();
}

} // namespace platform
