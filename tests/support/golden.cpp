#include "support/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

void expectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(FOLIO_SOURCE_DIR) + "/tests/golden/" + name + ".log";
    if (std::getenv("FOLIO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "no golden log " << path << " (FOLIO_UPDATE_GOLDEN=1 writes it)";
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(expected.str(), actual) << name;
}
