#include <gtest/gtest.h>

#include <windows.h>

TEST(Build, WcharIsTwoBytes) { EXPECT_EQ(2u, sizeof(wchar_t)); }
