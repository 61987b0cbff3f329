#pragma once

#include <QString>
#include <optional>

namespace platform {

// One XDG autostart entry: "$XDG_CONFIG_HOME/autostart/<name>.desktop", whose Exec line
// starts the given command line.
class AutostartEntry {
public:
    static QString folder();
    static QString pathFor(const QString& name);

    // The Exec value for a program path: quoted when needed, then escaped for the key file.
    static QString execValue(const QString& programPath);
    // The reverse: the program path (and arguments, joined by blanks) of an Exec value.
    static std::optional<QString> commandFromExec(const QString& execValue);

    static bool write(const QString& name, const QString& programPath);
    static std::optional<QString> read(const QString& name);
    static bool remove(const QString& name);
};

} // namespace platform
