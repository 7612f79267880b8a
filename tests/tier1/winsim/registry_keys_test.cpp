// Opening, creating and closing keys: Windows' results, handles and access rights.
#include <gtest/gtest.h>

#include <windows.h>

#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

const DWORD kPoison = 0xDEADBEEF;
HKEY const kPoisonKey = reinterpret_cast<HKEY>(uintptr_t{0xDEADBEEF});
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kRun[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryKeys : public MachineTest {};

struct OpenCase {
    const char* what;
    HKEY root;
    const char* path;
    LSTATUS expected;
};

TEST_F(RegistryKeys, OpenKeyExWResults) {
    const OpenCase cases[] = {
        {"existing key", HKEY_LOCAL_MACHINE, kSessionManager, ERROR_SUCCESS},
        {"other letter case", HKEY_LOCAL_MACHINE,
         "system\\CURRENTCONTROLSET\\control\\session MANAGER", ERROR_SUCCESS},
        {"trailing separator", HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\", ERROR_SUCCESS},
        {"current user key", HKEY_CURRENT_USER,
         "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", ERROR_SUCCESS},
        {"missing key", HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta Software KFT", ERROR_FILE_NOT_FOUND},
        {"missing in other hive", HKEY_CURRENT_USER, kSessionManager, ERROR_FILE_NOT_FOUND},
        {"leading separator", HKEY_LOCAL_MACHINE, "\\SOFTWARE", ERROR_BAD_PATHNAME},
        {"not a handle", reinterpret_cast<HKEY>(uintptr_t{0x1234}), "SOFTWARE",
         ERROR_INVALID_HANDLE},
        {"null handle", nullptr, "SOFTWARE", ERROR_INVALID_HANDLE},
    };
    for (const OpenCase& c : cases) {
        SetLastError(kPoison);
        HKEY key = kPoisonKey;
        LSTATUS rc = RegOpenKeyExW(c.root, W(c.path), 0, KEY_READ, &key);
        EXPECT_EQ(c.expected, rc) << c.what;
        EXPECT_EQ(kPoison, GetLastError()) << c.what;
        if (rc == ERROR_SUCCESS) {
            EXPECT_NE(nullptr, key) << c.what;
            EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key)) << c.what;
        } else {
            // Windows clears the result on failure (the old code left it alone).
            EXPECT_EQ(nullptr, key) << c.what;
        }
    }
}

TEST_F(RegistryKeys, HandlesAreDistinctCountedAndClosedOnce) {
    HKEY first = nullptr;
    HKEY second = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_READ, &first));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_READ, &second));
    EXPECT_NE(first, second);
    EXPECT_NE(HKEY_LOCAL_MACHINE, first);
    EXPECT_EQ(2u, winsim::control::openHandleCount());

    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(first, nullptr, 0, KEY_READ, &again));
    EXPECT_NE(first, again) << "an empty sub-key of a handle is a new handle";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(again));

    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(first));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(first));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(second));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));

    // Predefined keys open as themselves and close quietly.
    HKEY key = kPoisonKey;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, W(""), 0, KEY_READ, &key));
    EXPECT_EQ(HKEY_CURRENT_USER, key);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kRun), 0, KEY_READ, nullptr));
    EXPECT_EQ(0u, winsim::control::openHandleCount());
}

TEST_F(RegistryKeys, CreateMakesMissingKeysAndKeepsTheirCase) {
    DWORD disposition = kPoison;
    HKEY key = nullptr;
    SetLastError(kPoison);
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\Orvanta Software KFT\\Folioscope"), 0,
                              nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, W("SOFTWARE\\orvanta software kft\\FOLIOSCOPE"), 0,
                              nullptr, 0, KEY_READ, nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    winsim::RegKey* created = winsim::machine().registry.find(
        winsim::Hive::CurrentUser, "software\\orvanta software kft\\folioscope");
    ASSERT_NE(nullptr, created);
    EXPECT_EQ("Folioscope", created->name);
    EXPECT_EQ("Orvanta Software KFT",
              winsim::machine()
                  .registry.find(winsim::Hive::CurrentUser, "Software\\Orvanta Software KFT")
                  ->name);
}

TEST_F(RegistryKeys, ReadOnlyHandleOrStandardUserCannotWriteBelowIt) {
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, W("Software"), 0, KEY_READ, &parent));
    HKEY key = kPoisonKey;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExW(parent, W("New"), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(nullptr, winsim::machine().registry.find(winsim::Hive::CurrentUser, "Software\\New"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(parent));

    winsim::control::setAdministrator(false);
    key = kPoisonKey;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kRun), 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExW(HKEY_LOCAL_MACHINE, W("SOFTWARE\\Orvanta"), 0,
                                                   nullptr, 0, KEY_READ, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(HKEY_LOCAL_MACHINE, W("x"), 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&kPoison), 4));
    const struct {
        HKEY root;
        const char* path;
        REGSAM access;
    } allowed[] = {{HKEY_LOCAL_MACHINE, kRun, KEY_READ},
                   {HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS}};
    for (const auto& a : allowed) {
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(a.root, W(a.path), 0, a.access, &key)) << a.path;
        EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }
}

} // namespace
