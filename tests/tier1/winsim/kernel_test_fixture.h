// A fresh machine per test in a temporary directory; teardown finds leaked handles and blocks.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "machine.h"

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // tmpfs when there is one: machines are made and thrown away by the hundred.
        std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        pattern += "/winsim-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(&pattern[0]));
        winsim::Machine& m = winsim::machine();
        m.hostDir = pattern;
        m.clockMs = 0;
        m.lastError = 0;
        m.settings = winsim::MachineSettings();
        m.memory.reset();
        m.files.reset();
    }
    void TearDown() override {
        winsim::Machine& m = winsim::machine();
        EXPECT_EQ(0u, m.files.openHandles());
        EXPECT_EQ(0u, m.memory.liveBlocks());
        m.files.reset();
        m.memory.reset();
        std::filesystem::remove_all(m.hostDir);
    }
};
