#include <windows.h>

#include <cstring>
#include <string>

#include "files_test_support.h"
#include "machine.h"
#include "support/machine_test.h"

namespace {

namespace control = winsim::control;

using FilesMove = MachineTest;

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

BOOL moveFile(const char* from, const char* to, DWORD flags) {
    const std::u16string source = winsim::toUtf16(from);
    const std::u16string target = to ? winsim::toUtf16(to) : std::u16string();
    return MoveFileExW(winsim::wz(source), to ? winsim::wz(target) : nullptr, flags);
}

// The value as the installer reads it: type and raw bytes through the registry calls.
std::u16string pendingOperations(DWORD* type) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(kSessionManager), 0, KEY_QUERY_VALUE, &key));
    BYTE data[1024];
    DWORD size = sizeof data;
    *type = REG_NONE;
    const LSTATUS status =
        RegQueryValueExW(key, W("PendingFileRenameOperations"), nullptr, type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return u"<missing>";
    }
    std::u16string chars(size / 2, u'\0');
    std::memcpy(&chars[0], data, size);
    return chars;
}

std::u16string entry(const char* text) {
    return winsim::toUtf16(text) + u'\0';
}

TEST_F(FilesMove, TwoDeletionsAndAReplacingRenameInTheirByteLayout) {
    SetLastError(0xDEADBEEF);
    EXPECT_TRUE(moveFile("C:\\Temp\\file12.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(moveFile("c:/temp/../Temp/file2.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(moveFile("C:\\Temp\\new.dll", "C:\\Windows\\system32\\port.dll",
                         MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
    const std::u16string expected = entry("\\??\\C:\\Temp\\file12.txt") + entry("") +
                                    entry("\\??\\c:\\Temp\\file2.txt") + entry("") +
                                    entry("\\??\\C:\\Temp\\new.dll") +
                                    entry("!\\??\\C:\\Windows\\system32\\port.dll") + entry("");
    DWORD type = 0;
    EXPECT_EQ(expected, pendingOperations(&type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
}

TEST_F(FilesMove, DuplicatesAndMissingOrHeldSourcesAreQueuedAsAsked) {
    control::writeFile("C:\\Temp\\held.dll", "MZ");
    control::holdFileBySpooler("C:\\Temp\\held.dll", true);
    for (const char* path : {"C:\\Temp\\held.dll", "C:\\Temp\\held.dll", "C:\\Nowhere\\x.dll"}) {
        EXPECT_TRUE(moveFile(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) << path;
    }
    DWORD type = 0;
    EXPECT_EQ(entry("\\??\\C:\\Temp\\held.dll") + entry("") + entry("\\??\\C:\\Temp\\held.dll") +
                  entry("") + entry("\\??\\C:\\Nowhere\\x.dll") + entry("") + entry(""),
              pendingOperations(&type));
    EXPECT_TRUE(control::fileExists("C:\\Temp\\held.dll"));
}

TEST_F(FilesMove, RefusalsLeaveTheQueueAlone) {
    const struct {
        const char* name;
        bool administrator;
        const char* target;
        DWORD flags;
        DWORD error;
    } rows[] = {
        {"not administrator", false, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT, ERROR_ACCESS_DENIED},
        {"copy at boot", true, "C:\\Temp\\b", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED,
         ERROR_INVALID_PARAMETER},
        {"move now", true, "C:\\Temp\\b", MOVEFILE_REPLACE_EXISTING, ERROR_NOT_SUPPORTED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        control::setAdministrator(row.administrator);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(moveFile("C:\\Temp\\a", row.target, row.flags));
        EXPECT_EQ(row.error, GetLastError());
        DWORD type = 0;
        EXPECT_EQ(u"<missing>", pendingOperations(&type));
    }
}

TEST_F(FilesMove, RebootCarriesOutTheQueueInOrderAndClearsIt) {
    control::writeFile("C:\\Windows\\system32\\port.dll", "old");
    control::writeFile("C:\\Temp\\new.dll", "new");
    control::writeFile("C:\\Temp\\gone.txt", "x");
    control::writeFile("C:\\Temp\\kept-ro.txt", "x");
    control::setReadOnly("C:\\Temp\\kept-ro.txt", true);
    control::writeFile("C:\\Temp\\taken.txt", "x");
    control::writeFile("C:\\Temp\\other.txt", "y");
    control::holdFileBySpooler("C:\\Windows\\system32\\port.dll", true);
    const DWORD later = MOVEFILE_DELAY_UNTIL_REBOOT;
    EXPECT_TRUE(moveFile("C:\\Windows\\system32\\port.dll", nullptr, later));
    EXPECT_TRUE(moveFile("C:\\Temp\\missing.txt", nullptr, later));
    EXPECT_TRUE(moveFile("C:\\Temp\\kept-ro.txt", nullptr, later));
    EXPECT_TRUE(moveFile("C:\\Temp\\new.dll", "C:\\Windows\\system32\\port.dll",
                         later | MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(moveFile("C:\\Temp\\other.txt", "C:\\Temp\\taken.txt", later));
    EXPECT_TRUE(moveFile("C:\\Temp\\gone.txt", nullptr, later));
    EXPECT_EQ("old", control::readFile("C:\\Windows\\system32\\port.dll"));

    control::reboot();

    EXPECT_EQ("new", control::readFile("C:\\Windows\\system32\\port.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\new.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\gone.txt"));
    EXPECT_TRUE(control::fileExists("C:\\Temp\\kept-ro.txt"));
    EXPECT_EQ("x", control::readFile("C:\\Temp\\taken.txt")); // no "!": an existing target stays
    EXPECT_TRUE(control::fileExists("C:\\Temp\\other.txt"));
    DWORD type = 0;
    EXPECT_EQ(u"<missing>", pendingOperations(&type));
    EXPECT_TRUE(deleteFile("C:\\Windows\\system32\\port.dll")); // the spooler let go
}

TEST_F(FilesMove, RebootStartsOnlyTheAutomaticServicesAgain) {
    control::setServiceRunning("Fax", true);
    control::setServiceNeverStops("Spooler", true);

    control::reboot();

    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), control::serviceState("Spooler"));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), control::serviceState("Fax"));
}

} // namespace
