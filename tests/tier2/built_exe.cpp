#include "built_exe.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

BuiltExe load() {
    BuiltExe exe;
    exe.path = FOLIO_WINDOWS_EXE;
    std::ifstream in(exe.path, std::ios::binary);
    exe.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    exe.parsed = winsim::pe::parseImage(exe.view(), &exe.image);
    return exe;
}

} // namespace

const BuiltExe& BuiltExeTest::exe() const {
    static const BuiltExe theExe = load();
    return theExe;
}

void BuiltExeTest::SetUp() {
    if (!exe().bytes.empty()) {
        ASSERT_TRUE(exe().parsed) << exe().path << " is not a PE image";
        return;
    }
    const char* ci = std::getenv("CI");
    std::string message = exe().path + " is missing: build it with `cmake --preset windows && " +
                          "cmake --build --preset windows` (needs mingw-w64)";
    if (ci && std::string(ci) == "true") {
        FAIL() << message;
    }
    GTEST_SKIP() << message;
}

std::vector<uint8_t> BuiltExeTest::resource(uint16_t type, uint16_t name, int language) {
    winsim::pe::Resource found =
        winsim::pe::findResource(exe().view(), exe().image, type, name, language);
    EXPECT_EQ(winsim::pe::ResourceStatus::found, found.status)
        << "resource type " << type << ", name " << name << ", language " << language;
    return std::vector<uint8_t>(found.data.data, found.data.data + found.data.size);
}
