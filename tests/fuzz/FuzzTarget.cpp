// What every fuzz target shares, under libFuzzer and in the replay alike.
#include "FuzzCheck.h"

#include <QCoreApplication>
#include <QLoggingCategory>

// The connections under test are QObjects and want an application; warnings about damaged
// input are the expected outcome here, and printing them would only slow the fuzzer down.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}
