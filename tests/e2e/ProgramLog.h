#pragma once

#include <QString>
#include <QStringList>

// What the program's own log says about its cancels, and whether it shows signs of a crash.
namespace ProgramLog {

struct CancelRecord {
    int lines = 0;   // cancel lines in the text
    int session = 0; // the session counter and the status list as the last of them gave them
    int listed = 0;
};

CancelRecord cancels(const QString& output);
// Lines that only a crashed, aborted or sanitizer-stopped program writes.
QStringList crashSigns(const QString& output);

} // namespace ProgramLog
