// Printer data (the ANSI calls) and the user's default printer.
#include <cstring>

#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

class SpoolerDataTest : public SpoolerTest {
  protected:
    void SetUp() override {
        SpoolerTest::SetUp();
        control::registerDriver(productDriver());
        control::PrinterSetup folioscope = printerSetup("Folioscope", "FILE:", kDriver);
        control::PrinterData subKey;
        subKey.value = "SubKey";
        subKey.text = "abc123";
        folioscope.data.push_back(subKey);
        control::addPrinter(folioscope);
        control::addPrinter(printerSetup("Office", "LPT1:", kDriver));
    }
};

struct ReadCase {
    const char* label;
    const char* key; // null: GetPrinterDataA
    const char* value;
    DWORD size;
    DWORD result;
    DWORD needed; // kPoison: untouched
};

const ReadCase kReadCases[] = {
    {"driver data", nullptr, "SubKey", 64, ERROR_SUCCESS, 7},
    {"same value through Ex", "PrinterDriverData", "subkey", 64, ERROR_SUCCESS, 7},
    {"exact size", nullptr, "SubKey", 7, ERROR_SUCCESS, 7},
    {"one byte short", nullptr, "SubKey", 6, ERROR_MORE_DATA, 7},
    {"missing value", nullptr, "Other", 64, ERROR_FILE_NOT_FOUND, kPoison},
    {"missing key", "DsUser", "SubKey", 64, ERROR_FILE_NOT_FOUND, kPoison},
    {"empty key", "", "SubKey", 64, ERROR_INVALID_PARAMETER, kPoison},
};

TEST_F(SpoolerDataTest, ReadsWithoutAdministerRights) {
    PrinterGuard printer(openPrinter("Folioscope", PRINTER_ACCESS_USE));
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.label);
        BYTE data[64];
        std::memset(data, 0xAB, sizeof data);
        DWORD type = kPoison;
        DWORD needed = kPoison;
        poison();
        DWORD result =
            c.key ? GetPrinterDataExA(printer.handle, c.key, c.value, &type, data, c.size, &needed)
                  : GetPrinterDataA(printer.handle, const_cast<LPSTR>(c.value), &type, data, c.size,
                                    &needed);
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.needed, needed);
        EXPECT_EQ(kPoison, GetLastError());
        if (result == ERROR_SUCCESS) {
            EXPECT_EQ(DWORD{REG_SZ}, type);
            EXPECT_STREQ("abc123", reinterpret_cast<char*>(data));
        } else {
            EXPECT_EQ(0xAB, data[0]);
        }
    }
}

TEST_F(SpoolerDataTest, WritesNeedAdministerRightsAndCreateTheKey) {
    BYTE text[] = "S-42";
    {
        PrinterGuard reader;
        ASSERT_TRUE(OpenPrinterW(W("Office"), &reader.handle, nullptr)) << "no defaults: print";
        EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED},
                  SetPrinterDataExA(reader.handle, "DsUser", "SubKey", REG_SZ, text, 5));
        EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED},
                  SetPrinterDataA(reader.handle, const_cast<LPSTR>("SubKey"), REG_SZ, text, 5));
    }
    PrinterGuard printer(openPrinter("Office", PRINTER_ALL_ACCESS));
    poison();
    EXPECT_EQ(DWORD{ERROR_SUCCESS},
              SetPrinterDataExA(printer.handle, "DsUser", "SubKey", REG_SZ, text, 5));
    EXPECT_EQ(DWORD{ERROR_SUCCESS},
              SetPrinterDataA(printer.handle, const_cast<LPSTR>("SubKey"), REG_SZ, text, 5));
    EXPECT_EQ(DWORD{ERROR_INVALID_PARAMETER},
              SetPrinterDataExA(printer.handle, "", "SubKey", REG_SZ, text, 5));
    EXPECT_EQ(kPoison, GetLastError());
    const control::PrinterState office = control::printers()[1];
    EXPECT_EQ("S-42", office.data.at("DsUser\\SubKey"));
    EXPECT_EQ("S-42", office.data.at("PrinterDriverData\\SubKey"));
    EXPECT_EQ(DWORD{ERROR_INVALID_HANDLE},
              SetPrinterDataA(nullptr, const_cast<LPSTR>("SubKey"), REG_SZ, text, 5));
}

TEST_F(SpoolerDataTest, DefaultPrinterIsTheUsersDeviceValue) {
    WCHAR name[64];
    DWORD chars = 64;
    poison();
    EXPECT_FALSE(GetDefaultPrinterW(name, &chars));
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, GetLastError());
    EXPECT_EQ(64u, chars);

    poison();
    EXPECT_FALSE(SetDefaultPrinterW(W("Nobody")));
    EXPECT_EQ(DWORD{ERROR_INVALID_PRINTER_NAME}, GetLastError());
    EXPECT_TRUE(SetDefaultPrinterW(W("office")));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER,
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0, KEY_READ,
                            &key));
    char device[64] = {};
    DWORD size = sizeof device;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Device", nullptr, nullptr,
                                              reinterpret_cast<LPBYTE>(device), &size));
    RegCloseKey(key);
    EXPECT_STREQ("Office,winspool,LPT1:", device);

    chars = 6;
    poison();
    EXPECT_FALSE(GetDefaultPrinterW(name, &chars));
    EXPECT_EQ(DWORD{ERROR_INSUFFICIENT_BUFFER}, GetLastError());
    EXPECT_EQ(7u, chars) << "characters with the terminator";
    poison();
    EXPECT_TRUE(GetDefaultPrinterW(name, &chars));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(7u, chars);
    EXPECT_EQ("Office", u8(name));
}

} // namespace
