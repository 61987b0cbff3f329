#pragma once

#include "e2e/ProgramLog.h"
#include "e2e/ProgramUnderTest.h"
#include "support/HttpTestServer.h"
#include "support/TrayHost.h"
#include "support/XvfbSession.h"

#include <gtest/gtest.h>

// Started before main() builds the application, in every test binary that includes this.
inline const bool underXvfb = XvfbSession::startForProcess();

// The whole program on a private X server with a tray host docked, and the local server its
// pages come from. Members end in reverse: the program before the tray host it docked in.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(underXvfb);
        ASSERT_TRUE(tray.start()) << "trayer did not take the tray";
    }
    std::string output() const { return program.output().toStdString(); }

    TrayHost tray;
    HttpTestServer server;
    ProgramUnderTest program;
};
