#include "lists/LosslessText.h"

namespace LosslessText {

namespace {

// Length of the valid UTF-8 sequence at bytes[i], or 0.
int validSequence(QByteArrayView bytes, qsizetype i, char32_t& codePoint) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    int length = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        codePoint = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        codePoint = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        codePoint = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (b & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString decode(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t codePoint = 0;
        const int length = validSequence(bytes, i, codePoint);
        if (length == 0) {
            out += QChar(char16_t(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (codePoint >= 0x10000) {
            out += QChar(QChar::highSurrogate(codePoint));
            out += QChar(QChar::lowSurrogate(codePoint));
        } else {
            out += QChar(char16_t(codePoint));
        }
        i += length;
    }
    return out;
}

QByteArray encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += QStringView(text.mid(i, 2)).toUtf8();
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            out += char(c - 0xDC00);
        } else if (QChar::isSurrogate(c)) {
            out += "\xEF\xBF\xBD"; // a stray half of a pair: the replacement character
        } else {
            out += QStringView(text.mid(i, 1)).toUtf8();
        }
    }
    return out;
}

QString toLower(const QString& text) {
    QString out;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool lone =
            i < text.size() && text[i].isSurrogate() &&
            !(text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) &&
            !(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate());
        if (!lone && i < text.size())
            continue;
        if (from == 0 && i == text.size())
            return text.toLower(); // nothing held: the common case
        out += text.mid(from, i - from).toLower();
        if (i < text.size())
            out += text[i];
        from = i + 1;
    }
    return out;
}

} // namespace LosslessText
