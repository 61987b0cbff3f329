// Runs a fuzz target over saved inputs, so that the seed corpus and every input that once broke
// a reader stay part of the normal test run. The first folder must hold at least one input;
// the others may be missing or empty.
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int arg = 1; arg < argc; ++arg) {
        const QDir folder(QString::fromLocal8Bit(argv[arg]));
        const QStringList names = folder.entryList(QDir::Files, QDir::Name);
        if (arg == 1 && names.isEmpty()) {
            std::fprintf(stderr, "%s holds no inputs\n", argv[arg]);
            return 1;
        }
        for (const QString& name : names) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            std::fprintf(stderr, "replaying %s\n", qPrintable(file.fileName()));
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return 0;
}
