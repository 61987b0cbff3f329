// Loading damaged or oversized list files: how long the start waits and how much memory it
// takes. A list holds at most 32,767 entries, so no file may cost much more than a full list.
#include "BenchTiming.h"
#include "lists/DomainLists.h"
#include "lists/ListFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

long peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Linux lets a process start its peak anew, so each file is measured on its own.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QByteArray numbered(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += "ads" + QByteArray::number(i) + ".tracker-network.example.com\r\n";
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Each load warns about the file, as it should; the figures are what matters here.
    QLoggingCategory::setFilterRules(QStringLiteral("zor.lists.warning=false"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deny_domains.txt"));
    const struct {
        const char* name;
        std::function<QByteArray()> bytes;
    } files[] = {
        {"full list (32,767 lines)", [] { return numbered(DomainListModel::Capacity); }},
        {"1,000,000 lines", [] { return numbered(1000000); }},
        {"100 MB in one line", [] { return QByteArray(100 * 1024 * 1024, 'x'); }},
    };
    std::printf("%-28s %12s %10s %14s\n", "list file", "size (MB)", "load (ms)", "peak RSS (MB)");
    for (const auto& file : files) {
        {
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return 1;
            out.write(file.bytes());
        }
        const double mb = QFile(path).size() / (1024.0 * 1024.0);
        DomainLists lists(dir.path());
        resetPeak();
        const double us = medianMicroseconds(5, [&](int) { lists.LoadList(); });
        std::printf("%-28s %12.1f %10.1f %14.1f\n", file.name, mb, us / 1000.0, peakResidentKb() / 1024.0);
    }
    return 0;
}
