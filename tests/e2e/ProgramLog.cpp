#include "e2e/ProgramLog.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace ProgramLog {

CancelRecord cancels(const QString& output) {
    static const QRegularExpression line(
        u"popup cancelled: (-?\\d+) this session, -?\\d+ in total, (-?\\d+) lines in the status list"_s);
    CancelRecord record;
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const auto match = it.next();
        ++record.lines;
        record.session = match.captured(1).toInt();
        record.listed = match.captured(2).toInt();
    }
    return record;
}

QStringList crashSigns(const QString& output) {
    static const QRegularExpression sign(
        u"AddressSanitizer|LeakSanitizer|runtime error:|Segmentation fault|^Aborted|terminate called|"
        "QFATAL|ASSERT failure|^Fatal"_s,
        QRegularExpression::MultilineOption);
    QStringList found;
    for (const QString& text : output.split(u'\n'))
        if (sign.match(text).hasMatch())
            found << text;
    return found;
}

} // namespace ProgramLog
