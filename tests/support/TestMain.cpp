#include "support/IsolatedEnvironment.h"

#include <QApplication>
#include <gmock/gmock.h>

// Every test process gets its own HOME, XDG folders and runtime folder, and a QApplication.
int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    IsolatedEnvironment isolation;
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
