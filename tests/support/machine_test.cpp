#include "support/machine_test.h"

#include <cstdlib>
#include <filesystem>

#include "winsim/control.h"
#include "winsim/text.h"

void MachineTest::SetUp() {
    // tmpfs when there is one: tests make and throw away machines by the hundred.
    std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    pattern += "/winsim-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(&pattern[0])) << "cannot create a machine directory";
    dir_ = pattern;
    winsim::control::freshMachine(dir_);
}

void MachineTest::TearDown() {
    EXPECT_EQ(0u, winsim::control::openHandleCount())
        << "handles (files, keys, services, printers, mutexes, processes) left open by the test";
    EXPECT_EQ(0u, winsim::control::liveMemoryBlocks()) << "global/local blocks never freed";
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void MachineTest::reload() {
    ASSERT_TRUE(winsim::control::saveMachine(dir_));
    winsim::control::freshMachine(dir_ + "/elsewhere");
    ASSERT_TRUE(winsim::control::loadMachine(dir_));
}

std::string u8(const WCHAR* text) {
    return winsim::toUtf8(text);
}

W::W(const std::string& utf8) : s(winsim::toUtf16(utf8)) {}

W::operator const WCHAR*() const {
    return winsim::wz(s);
}

W::operator WCHAR*() {
    return winsim::wzMutable(s);
}
