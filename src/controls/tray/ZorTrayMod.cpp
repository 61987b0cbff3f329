#include "controls/tray/ZorTrayMod.h"

namespace ZorTrayMod {

QString ShellTip(const QString& Tip) {
    QString shown = Tip;
    const qsizetype nul = shown.indexOf(QChar(u'\0'));
    if (nul >= 0)
        shown.truncate(nul);
    if (shown.size() > MaxTipLength) {
        qsizetype length = MaxTipLength;
        if (shown.at(length - 1).isHighSurrogate())
            --length;
        shown.truncate(length);
    }
    return shown;
}

} // namespace ZorTrayMod
