// Printer drivers: the driver directory, staging and registration with APD_COPY_ALL_FILES,
// what the spooler reports, and removal with DPD_DELETE_ALL_FILES.
#include <cstring>

#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

using SpoolerDriversTest = SpoolerTest;

TEST_F(SpoolerDriversTest, LifecycleAddInUseDeletePrinterDeleteUnknown) {
    stageDriverFiles();
    poison();
    ASSERT_TRUE(installDriver());
    EXPECT_EQ(kPoison, GetLastError());
    for (const char* file : {"orvdrv64.dll", "orvui64.dll", "orvhelp.chm"}) {
        EXPECT_TRUE(control::fileExists(versionDir(file))) << file << " copied into x64\\3";
        EXPECT_TRUE(control::fileExists(std::string(kDriverDir) + "\\" + file))
            << file << " staged copy stays";
    }
    ASSERT_EQ(1u, control::drivers().size());
    EXPECT_EQ("orvhelp.chm", control::drivers()[0].helpFile) << "bare names are recorded";

    PrinterGuard printer(addPrinter("Folioscope", "FILE:"));
    ASSERT_NE(nullptr, printer.handle);
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(versionDir("orvui64.dll")))
        << "files of a driver in use are loaded";
    EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, deleteError(versionDir("orvhelp.chm")));
    poison();
    EXPECT_FALSE(deleteDriver());
    EXPECT_EQ(DWORD{ERROR_PRINTER_DRIVER_IN_USE}, GetLastError());

    ASSERT_TRUE(DeletePrinter(printer.handle));
    poison();
    EXPECT_TRUE(deleteDriver("FOLIOSCOPE PRINTER"));
    EXPECT_EQ(kPoison, GetLastError());
    for (const char* file : {"orvdrv64.dll", "orvui64.dll", "orvhelp.chm"}) {
        EXPECT_FALSE(control::fileExists(versionDir(file))) << file << " deleted with the driver";
    }
    EXPECT_TRUE(control::drivers().empty());

    poison();
    EXPECT_FALSE(deleteDriver());
    EXPECT_EQ(DWORD{ERROR_UNKNOWN_PRINTER_DRIVER}, GetLastError());
}

TEST_F(SpoolerDriversTest, HeldFileOfDeletedDriverGoesAtReboot) {
    stageDriverFiles();
    ASSERT_TRUE(installDriver());
    W help(versionDir("orvhelp.chm"));
    HANDLE reader =
        CreateFileW(help, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    poison();
    EXPECT_TRUE(deleteDriver());
    EXPECT_EQ(kPoison, GetLastError());
    CloseHandle(reader);
    EXPECT_FALSE(control::fileExists(versionDir("orvdrv64.dll")));
    EXPECT_TRUE(control::fileExists(versionDir("orvhelp.chm")));
    control::reboot();
    EXPECT_FALSE(control::fileExists(versionDir("orvhelp.chm"))) << "queued for deletion at boot";
}

struct DirectoryCase {
    const char* label;
    const char* environment; // null: the spooler's own
    DWORD level;
    DWORD error;
    const char* path;
};

const DirectoryCase kDirectoryCases[] = {
    {"own environment", nullptr, 1, 0, "C:\\Windows\\system32\\spool\\DRIVERS\\x64"},
    {"empty environment", "", 1, 0, "C:\\Windows\\system32\\spool\\DRIVERS\\x64"},
    {"other case", "windows X64", 1, 0, "C:\\Windows\\system32\\spool\\DRIVERS\\x64"},
    {"32-bit clients", "Windows NT x86", 1, 0, "C:\\Windows\\system32\\spool\\DRIVERS\\W32X86"},
    {"unknown environment", "Windows Bogus", 1, ERROR_INVALID_ENVIRONMENT, nullptr},
    {"level 2", nullptr, 2, ERROR_INVALID_LEVEL, nullptr},
};

TEST_F(SpoolerDriversTest, GetPrinterDriverDirectoryW) {
    for (const DirectoryCase& c : kDirectoryCases) {
        SCOPED_TRACE(c.label);
        W environment(c.environment ? c.environment : "");
        BYTE buffer[512];
        std::memset(buffer, 0xAB, sizeof buffer);
        DWORD needed = kPoison;
        poison();
        BOOL ok = GetPrinterDriverDirectoryW(
            nullptr, c.environment ? environment.operator WCHAR*() : nullptr, c.level, buffer,
            sizeof buffer, &needed);
        EXPECT_EQ(c.error == 0, ok != FALSE);
        EXPECT_EQ(c.error == 0 ? kPoison : c.error, GetLastError());
        if (c.path) {
            EXPECT_EQ(c.path, u8(reinterpret_cast<WCHAR*>(buffer)));
            EXPECT_EQ((std::strlen(c.path) + 1) * 2, needed) << "bytes with the terminator";
        } else {
            EXPECT_EQ(kPoison, needed);
            EXPECT_EQ(0xAB, buffer[0]);
        }
    }
}

TEST_F(SpoolerDriversTest, RegistrationNeedsEveryFileStaged) {
    stageDriverFiles(false);
    DriverInfo withHelp(kDriver, "orvhelp.chm");
    poison();
    EXPECT_FALSE(AddPrinterDriverExW(nullptr, 6, withHelp.bytes(), APD_COPY_ALL_FILES));
    EXPECT_EQ(DWORD{ERROR_FILE_NOT_FOUND}, GetLastError());
    EXPECT_TRUE(control::drivers().empty());

    DriverInfo withoutHelp(kDriver, "");
    EXPECT_TRUE(AddPrinterDriverExW(nullptr, 6, withoutHelp.bytes(), APD_COPY_ALL_FILES))
        << "an empty help path means no help file";
    ASSERT_EQ(1u, control::drivers().size());
    EXPECT_EQ("", control::drivers()[0].helpFile);
}

struct AddDriverCase {
    const char* label;
    DWORD level;
    DWORD version;
    const char* environment;
    DWORD flags;
    DWORD error;
};

const AddDriverCase kAddDriverCases[] = {
    {"level 5", 5, 3, "Windows x64", APD_COPY_ALL_FILES, ERROR_INVALID_LEVEL},
    {"undefined flag", 6, 3, "Windows x64", 0x100, ERROR_INVALID_PARAMETER},
    {"version 4", 6, 4, "Windows x64", APD_COPY_ALL_FILES, ERROR_PRINTER_DRIVER_BLOCKED},
    {"unknown environment", 6, 3, "Windows Bogus", APD_COPY_ALL_FILES, ERROR_INVALID_ENVIRONMENT},
};

TEST_F(SpoolerDriversTest, AddPrinterDriverExWRefusals) {
    stageDriverFiles();
    for (const AddDriverCase& c : kAddDriverCases) {
        SCOPED_TRACE(c.label);
        DriverInfo driver(kDriver, "orvhelp.chm");
        W environment(c.environment);
        driver.info.cVersion = c.version;
        driver.info.pEnvironment = environment;
        poison();
        EXPECT_FALSE(AddPrinterDriverExW(nullptr, c.level, driver.bytes(), c.flags));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_TRUE(control::drivers().empty());
    }
}

TEST_F(SpoolerDriversTest, ReplacingADriverInUseReplacesItsFiles) {
    stageDriverFiles();
    ASSERT_TRUE(installDriver());
    control::addPrinter(printerSetup("Folioscope", "FILE:", kDriver));
    const std::string staged = std::string(kDriverDir) + "\\orvdrv64.dll";
    ASSERT_TRUE(control::writeVersionedPe(staged, 3, 0, 0, 2099));
    EXPECT_TRUE(installDriver());
    EXPECT_EQ(control::readFile(staged), control::readFile(versionDir("orvdrv64.dll")));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(versionDir("orvdrv64.dll")))
        << "still loaded for the printer";
}

TEST_F(SpoolerDriversTest, GetPrinterDriverWNeedsTheDriverInTheEnvironment) {
    control::registerDriver(productDriver());
    control::addPrinter(printerSetup("Folioscope", "FILE:", kDriver));
    control::addPrinter(printerSetup("Orphan", "FILE:", "Gone printer"));
    struct Case {
        const char* printer;
        const char* environment;
        DWORD error;
    } cases[] = {{"Folioscope", "Windows x64", 0},
                 {"Folioscope", nullptr, 0},
                 {"Folioscope", "Windows NT x86", ERROR_UNKNOWN_PRINTER_DRIVER},
                 {"Orphan", nullptr, ERROR_UNKNOWN_PRINTER_DRIVER}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.printer) + " / " + (c.environment ? c.environment : "null"));
        PrinterGuard printer(openPrinter(c.printer, PRINTER_ACCESS_USE));
        W environment(c.environment ? c.environment : "");
        std::vector<BYTE> buffer(1024, 0xAB);
        DWORD needed = kPoison;
        poison();
        BOOL ok = GetPrinterDriverW(printer.handle,
                                    c.environment ? environment.operator WCHAR*() : nullptr, 2,
                                    buffer.data(), static_cast<DWORD>(buffer.size()), &needed);
        EXPECT_EQ(c.error == 0, ok != FALSE);
        EXPECT_EQ(c.error == 0 ? kPoison : c.error, GetLastError());
        if (ok) {
            auto* info = reinterpret_cast<DRIVER_INFO_2W*>(buffer.data());
            EXPECT_EQ(versionDir("orvdrv64.dll"), u8(info->pDriverPath));
            EXPECT_EQ(versionDir("orvui64.dll"), u8(info->pConfigFile));
            EXPECT_EQ("Windows x64", u8(info->pEnvironment));
        }
    }
}

} // namespace
