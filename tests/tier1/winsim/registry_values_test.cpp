// Reading, writing and deleting values: sizes, ERROR_MORE_DATA, raw bytes, ANSI calls.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <windows.h>

#include "machine.h"
#include "support/machine_test.h"

namespace {

const DWORD kPoison = 0xDEADBEEF;
const char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryValues : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kRun), 0, KEY_ALL_ACCESS, &key_));
    }
    void TearDown() override {
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key_));
        MachineTest::TearDown();
    }
    void setRaw(const std::string& name, DWORD type, const std::vector<uint8_t>& data) {
        winsim::Registry::setValue(
            *winsim::machine().registry.find(winsim::Hive::LocalMachine, kRun), name, type,
            data.data(), data.size());
    }
    const winsim::RegValue* stored(const std::string& name) {
        return winsim::Registry::value(
            *winsim::machine().registry.find(winsim::Hive::LocalMachine, kRun), name);
    }

    HKEY key_ = nullptr;
};

TEST_F(RegistryValues, StringWrittenWithTerminatorReadsBackBySizeProbeThenBuffer) {
    W path("C:\\Program Files\\Folioscope\\foltray.exe");
    SetLastError(kPoison);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, W("FolioscopeTray"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(static_cast<const WCHAR*>(path)),
                             path.bytes()));
    DWORD type = kPoison;
    DWORD size = kPoison;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key_, W("folioscopetray"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(path.bytes(), size);

    WCHAR buffer[264];
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, W("FOLIOSCOPETRAY"), nullptr, &type,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(path.bytes(), size);
    EXPECT_EQ("C:\\Program Files\\Folioscope\\foltray.exe", u8(buffer));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ("FolioscopeTray", stored("folioscopetray")->name);
}

TEST_F(RegistryValues, SmallBufferGivesMoreDataAndTheSizeNeeded) {
    setRaw("v", REG_BINARY, {1, 2, 3, 4, 5, 6, 7, 8});
    BYTE buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    DWORD type = kPoison;
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key_, W("v"), nullptr, &type, buffer, &size));
    EXPECT_EQ(8u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    BYTE exact[8] = {};
    size = sizeof exact;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, W("v"), nullptr, nullptr, exact, &size));
    EXPECT_EQ(0, std::memcmp(exact, "\1\2\3\4\5\6\7\10", 8));
}

TEST_F(RegistryValues, FailuresLeaveOutputsAlone) {
    struct Case {
        const char* what;
        HKEY key;
        const char* name;
        bool withBuffer;
        bool withSize;
        LSTATUS expected;
    } cases[] = {
        {"missing value", key_, "nothing", true, true, ERROR_FILE_NOT_FOUND},
        {"buffer without size", key_, "FolioscopeTray", true, false, ERROR_INVALID_PARAMETER},
        {"bad handle", reinterpret_cast<HKEY>(uintptr_t{0x1234}), "x", true, true,
         ERROR_INVALID_HANDLE},
    };
    setRaw("FolioscopeTray", REG_SZ, {'a', 0, 0, 0});
    for (const Case& c : cases) {
        DWORD type = kPoison;
        DWORD size = kPoison;
        BYTE buffer[8];
        std::memset(buffer, 0xAA, sizeof buffer);
        EXPECT_EQ(c.expected,
                  RegQueryValueExW(c.key, W(c.name), nullptr, &type,
                                   c.withBuffer ? buffer : nullptr, c.withSize ? &size : nullptr))
            << c.what;
        EXPECT_EQ(kPoison, type) << c.what;
        EXPECT_EQ(kPoison, size) << c.what;
        EXPECT_EQ(0xAA, buffer[0]) << c.what;
    }
    DWORD reserved = 0;
    DWORD size = 8;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(key_, W("FolioscopeTray"), &reserved, nullptr, nullptr, &size));
}

// Windows stores the bytes given; a string written without its terminator comes back
// without one, and its size says so (the reader has to terminate it) - unless the
// character after the count is NUL: NT then stores the terminator the caller left out.
TEST_F(RegistryValues, StringDataIsStoredAsWrittenAndReturnedRaw) {
    const WCHAR abc[4] = {L'a', L'b', L'c', L'd'};
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, W("abc"), 0, REG_SZ, reinterpret_cast<const BYTE*>(abc), 6));
    EXPECT_EQ(6u, stored("abc")->data.size());
    W forgot("abc");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, W("forgot"), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(&forgot.s[0]), 6));
    EXPECT_EQ(8u, stored("forgot")->data.size());

    WCHAR buffer[8];
    for (WCHAR& c : buffer) {
        c = L'#';
    }
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, W("abc"), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(L'#', buffer[3]) << "nothing is written past the stored bytes";

    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(key_, W("x"), 0, REG_SZ, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, W("empty"), 0, REG_BINARY, nullptr, 0));
    EXPECT_TRUE(stored("empty")->data.empty());
}

TEST_F(RegistryValues, DefaultValueRewriteKeepsTheFirstNameDeleteOnceThenNotFound) {
    DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, nullptr, 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
    DWORD read = 0;
    DWORD size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, W(""), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&read), &size));
    EXPECT_EQ(1u, read);

    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key_, "Deleted", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "DELETED", 0, REG_BINARY, nullptr, 0));
    EXPECT_EQ("Deleted", stored("deleted")->name);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), stored("deleted")->type);

    setRaw("FolioscopeTray", REG_SZ, {'a', 0, 0, 0});
    SetLastError(kPoison);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key_, "DELETED"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key_, "deleted"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key_, W("folioscopeTray")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key_, W("FolioscopeTray")));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(nullptr, W("x")));
}

TEST_F(RegistryValues, ReadOnlyHandleCannotChangeValues) {
    setRaw("v", REG_DWORD, {1, 0, 0, 0});
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kRun), 0, KEY_READ, &readOnly));
    DWORD two = 2;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegSetValueExW(readOnly, W("v"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueW(readOnly, W("v")));
    EXPECT_EQ(1u, winsim::Registry::getDword(
                      *winsim::machine().registry.find(winsim::Hive::LocalMachine, kRun), "v", 0));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(readOnly));

    HKEY writeOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kRun), 0, KEY_SET_VALUE, &writeOnly));
    DWORD size = 4;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegQueryValueExW(writeOnly, W("v"), nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(writeOnly));
}

// The A calls convert names and string data through the ANSI code page (1252).
TEST_F(RegistryValues, AnsiCallsConvertStringsAndReportAnsiSizes) {
    const char cafe[] = "Caf\xE9";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key_, "SubKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(cafe), 5));
    ASSERT_EQ(10u, stored("SubKey")->data.size());
    EXPECT_EQ("Caf\xC3\xA9",
              winsim::Registry::getString(
                  *winsim::machine().registry.find(winsim::Hive::LocalMachine, kRun), "subkey"));

    DWORD type = kPoison;
    DWORD size = kPoison;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "SUBKEY", nullptr, &type, nullptr, &size));
    EXPECT_EQ(5u, size);
    char small[4] = {'#', '#', '#', '#'};
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key_, "SubKey", nullptr, &type,
                                                reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(5u, size);
    char text[64];
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "SubKey", nullptr, &type,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(5u, size);
    EXPECT_STREQ(cafe, text);
}

TEST_F(RegistryValues, AnsiKeyNamesMatchWideNames) {
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\Caf\xC3\xA9"), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &created, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(created));
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Caf\xE9", 0, KEY_ALL_ACCESS, &opened));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(opened));
}

} // namespace
