// The Windows build's folioinst.exe, read once for every check of this binary. Checks
// skip with a clear message when the Windows build is missing, except in CI (CI=true),
// where a missing build fails them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"
#include "pe_resources.h"

struct BuiltExe {
    std::string path;
    std::vector<uint8_t> bytes;
    winsim::pe::Image image;
    bool parsed = false;

    winsim::pe::ByteView view() const { return winsim::pe::ByteView(bytes); }
};

class BuiltExeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    const BuiltExe& exe() const;
    // The resource's bytes; fails the test when it is not there.
    std::vector<uint8_t> resource(uint16_t type, uint16_t name, int language);
};
