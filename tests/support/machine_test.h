// A fresh simulated machine per test, in its own temporary directory. Teardown fails the
// test when the code under test left a handle open or a global block allocated, which
// catches the early-return leak of every failure path for free.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The machine's host directory (drive C: is dir()/drive_c).
    const std::string& dir() const { return dir_; }
    // Saves the machine to dir() and loads it back into a fresh one, as the next run would.
    void reload();

  private:
    std::string dir_;
};

// A wide string as UTF-8, for assertions and messages (gtest's own wide printers assume
// 4-byte wchar_t).
std::string u8(const WCHAR* text);

// A wide string written from UTF-8 in a test: W("C:\\Windows") is a const WCHAR*.
struct W {
    explicit W(const std::string& utf8);
    operator const WCHAR*() const;
    operator WCHAR*();
    size_t size() const { return s.size(); }
    // Bytes with the terminator, as RegSetValueExW and friends count them.
    DWORD bytes() const { return static_cast<DWORD>((s.size() + 1) * sizeof(WCHAR)); }

    std::u16string s;
};
