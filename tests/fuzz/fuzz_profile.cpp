// The private-profile reader (language files). Input: the section name on the first line, the
// key on the second, the file after that. Reading from a file and the buffer's cap are the unit
// test's.
#include "FuzzCheck.h"
#include "platform/common/PrivateProfile.h"

#include <QStringEncoder>

namespace {

QByteArray takeLine(QByteArrayView& rest) {
    const qsizetype end = rest.indexOf('\n');
    const QByteArray line = (end < 0 ? rest : rest.first(end)).toByteArray();
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArrayView rest(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString section = QString::fromUtf8(takeLine(rest));
    const QString key = QString::fromUtf8(takeLine(rest));
    const QByteArray contents = rest.toByteArray();
    // No line of a file can hold a line break, so no value can be this.
    const QString missing = QStringLiteral("\n<missing>\n");

    using platform::PrivateProfile;
    const QString value = PrivateProfile::readString(contents, section, key, missing);
    const bool found = value != missing;
    if (found)
        FUZZ_CHECK(!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')));

    // The byte-level properties below are for 8-bit text, not UTF-16 or UTF-32.
    if (const auto marked = QStringConverter::encodingForData(contents);
        marked && *marked != QStringConverter::Utf8)
        return 0;
    // The same text saved as "Unicode" by a Windows editor reads the same (unless it starts with
    // U+0000: its mark and that character read as UTF-32's mark).
    const QString text = PrivateProfile::decode(contents);
    if (!text.startsWith(QChar(0))) {
        const QByteArray utf16 =
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(text);
        FUZZ_CHECK(PrivateProfile::readString(utf16, section, key, missing) == value);
    }

    // A byte-order mark and CR LF line ends make no difference.
    if (!contents.startsWith("\xEF\xBB\xBF"))
        FUZZ_CHECK(PrivateProfile::readString("\xEF\xBB\xBF" + contents, section, key, missing) == value);
    QByteArray crlf = contents;
    crlf.replace("\n", "\r\n");
    FUZZ_CHECK(PrivateProfile::readString(crlf, section, key, missing) == value);

    // The first section and key of a name win over any later one.
    if (found) {
        const QByteArray later = contents + "\n[" + section.toUtf8() + "]\n" + key.toUtf8() + "=later\n";
        FUZZ_CHECK(PrivateProfile::readString(later, section, key, missing) == value);
    }
    return 0;
}
