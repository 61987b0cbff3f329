#pragma once

#include <QByteArray>
#include <QString>

// UTF-8 that gives every byte back: a byte that is not part of valid UTF-8 is held as the lone
// surrogate U+DC80..U+DCFF and written back as that byte, so a list file in another 8-bit
// encoding survives a load and a save unchanged.
namespace LosslessText {
QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);
// Lower case that leaves held bytes alone. QString::toLower() turns every lone surrogate into
// U+FFFD once anything in the text changes case, so two entries differing only in such a byte
// would compare equal.
QString toLower(const QString& text);
} // namespace LosslessText
