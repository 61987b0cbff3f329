// The settings reader: any file is either refused as damaged or read into keys that survive a
// save and a reload unchanged; any value the program stores reads back as it was.
#include "FuzzCheck.h"
#include "platform/common/IniDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    using platform::IniDocument;

    IniDocument read;
    if (read.parse(bytes)) {
        const QByteArray saved = read.serialize();
        IniDocument reread;
        FUZZ_CHECK(reread.parse(saved));
        FUZZ_CHECK(reread.serialize() == saved);
    }

    // The input as a value, written among other settings; keys are the program's own names.
    const QString value = QString::fromUtf8(bytes);
    const QString key = QStringLiteral("Value");
    IniDocument written;
    written.setValue(QStringLiteral("Main"), QStringLiteral("Before"), QStringLiteral("1"));
    written.setValue(QStringLiteral("Main"), key, value);
    written.setValue(QStringLiteral("Main"), QStringLiteral("After"), QStringLiteral("2"));
    IniDocument loaded;
    FUZZ_CHECK(loaded.parse(written.serialize()));
    FUZZ_CHECK(loaded.value(QStringLiteral("main"), key) == value);
    FUZZ_CHECK(loaded.value(QStringLiteral("Main"), QStringLiteral("before")) == QStringLiteral("1"));
    FUZZ_CHECK(loaded.value(QStringLiteral("Main"), QStringLiteral("after")) == QStringLiteral("2"));
    return 0;
}
