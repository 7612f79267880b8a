#include "support/machine_test.h"

#include <functional>
#include <string>
#include <vector>

#include "app/module_instance.h"
#include "system/pending_renames.h"
#include "winsim/control.h"
#include "winsim/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int);

namespace {

using namespace winsim::control;

using PendingRenames = MachineTest;

const char kSystemDir[] = "C:\\Windows\\System32\\";
const char kDriverDir[] = "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";

// A file or a directory.
bool onDisk(const std::string& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

std::string inSystem(const std::string& name) {
    return kSystemDir + name;
}
std::string inDrivers(const std::string& name) {
    return kDriverDir + name;
}

// As the installer's run wrapper, or another setup program, queues them.
void queueDeletion(const std::string& path) {
    ASSERT_TRUE(MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) << path;
}
void queueRename(const std::string& from, const std::string& to) {
    ASSERT_TRUE(
        MoveFileExW(W(from), W(to), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
        << from;
}

// Writes the value's bytes directly: "|" stands for NUL, and bytes counts what is stored
// (all characters with no extra terminator when 0).
void setPendingValue(const std::string& text, DWORD type = REG_MULTI_SZ) {
    std::u16string chars = winsim::toUtf16(text);
    for (char16_t& c : chars) {
        c = c == u'|' ? u'\0' : c;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              W("SYSTEM\\CurrentControlSet\\Control\\Session Manager"), 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, W("PendingFileRenameOperations"), 0, type,
                                            reinterpret_cast<const BYTE*>(chars.data()),
                                            static_cast<DWORD>(chars.size() * sizeof(char16_t))));
    RegCloseKey(key);
}

struct Entry {
    std::string name; // "" for a null entry
    LONG exists;
    bool operator==(const Entry& other) const {
        return name == other.name && exists == other.exists;
    }
};

std::vector<Entry> entriesOf(const PendingRenameList& list) {
    std::vector<Entry> entries;
    for (LONG i = 0; i < 2 * list.count; ++i) {
        entries.push_back({list.names[i] ? u8(list.names[i]) : "", list.exists[i]});
    }
    return entries;
}

void PrintTo(const Entry& entry, std::ostream* os) {
    *os << "{" << entry.name << ", " << entry.exists << "}";
}

TEST_F(PendingRenames, ReadsTheQueueAsMoveFileExWritesIt) {
    writeFile(inDrivers("orvdrv64.dll"), "driver");
    writeFile(inSystem("fol1.tmp"), "new monitor");
    queueDeletion(inDrivers("orvdrv64.dll"));
    queueRename(inSystem("fol1.tmp"), inSystem("orvmon64.dll"));
    queueDeletion(inSystem("missing.dll"));
    PendingRenameList list = readPendingRenames();
    EXPECT_EQ(3, list.count);
    EXPECT_EQ((std::vector<Entry>{{"\\??\\" + inDrivers("orvdrv64.dll"), 1},
                                  {"", 0},
                                  {"\\??\\" + inSystem("fol1.tmp"), 1},
                                  {"!\\??\\" + inSystem("orvmon64.dll"), 0},
                                  {"\\??\\" + inSystem("missing.dll"), 0},
                                  {"", 0}}),
              entriesOf(list));
    releasePendingRenames(list);
    EXPECT_EQ(0, list.count);
    EXPECT_EQ(nullptr, list.names);
    EXPECT_EQ(nullptr, list.exists);
}

TEST_F(PendingRenames, ReadsOddValuesWithinTheirData) {
    writeFile("C:\\a.dll", "a");
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::vector<Entry> expected;
    } rows[] = {
        {"no value", [] {}, {}},
        {"empty value", [] { setPendingValue(""); }, {}},
        {"only the terminator", [] { setPendingValue("|"); }, {}},
        {"one string", [] { setPendingValue("\\??\\C:\\a.dll||"); }, {}},
        {"odd number of strings",
         [] { setPendingValue("\\??\\C:\\a.dll||\\??\\C:\\a.dll||"); },
         {{"\\??\\C:\\a.dll", 1}, {"", 0}}},
        {"last string without terminator",
         [] { setPendingValue("\\??\\C:\\a.dll|\\??\\C:\\b.dll"); },
         {{"\\??\\C:\\a.dll", 1}, {"\\??\\C:\\b.dll", 0}}},
        {"other type read as a multi-string",
         [] { setPendingValue("C:\\a.dll|x||", REG_SZ); },
         {{"C:\\a.dll", 1}, {"x", 0}}},
        {"prefix needs all four characters",
         [] { setPendingValue("\\??C:\\a.dll||\\\\??\\C:\\a.dll|||"); },
         {{"\\??C:\\a.dll", 0}, {"", 0}, {"\\\\??\\C:\\a.dll", 0}, {"", 0}}},
        {"directory",
         [] { setPendingValue("\\??\\C:\\Windows|||"); },
         {{"\\??\\C:\\Windows", 0}, {"", 0}}},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        writeFile("C:\\a.dll", "a");
        row.arrange();
        PendingRenameList list = readPendingRenames();
        EXPECT_EQ(row.expected, entriesOf(list)) << row.name;
        EXPECT_EQ(row.expected.empty(), list.names == nullptr && list.exists == nullptr)
            << row.name;
        releasePendingRenames(list);
    }
}

std::vector<BYTE> pendingValueBytes() {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                           W("SYSTEM\\CurrentControlSet\\Control\\Session Manager"),
                                           0, KEY_READ, &key));
    std::vector<BYTE> bytes(4096);
    DWORD size = static_cast<DWORD>(bytes.size());
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, W("PendingFileRenameOperations"), nullptr,
                                              nullptr, bytes.data(), &size));
    RegCloseKey(key);
    bytes.resize(size);
    return bytes;
}

// Only a queued deletion of an existing source is carried out now; the value stays as it
// was, for the session manager to skip at boot.
TEST_F(PendingRenames, DeletesQueuedDeletionsAndLeavesTheValueAlone) {
    writeFile("C:\\a.dll", "a");
    writeFile("C:\\b.dll", "b");
    writeFile("C:\\held.dll", "h");
    holdFile("C:\\held.dll", "viewer.exe", true);
    queueDeletion("C:\\a.dll");
    queueRename("C:\\b.dll", "C:\\c.dll");
    queueDeletion("C:\\held.dll");
    const std::vector<BYTE> before = pendingValueBytes();
    PendingRenameList list = readPendingRenames();
    deletePendingDeletions(list);
    EXPECT_FALSE(fileExists("C:\\a.dll"));
    EXPECT_TRUE(fileExists("C:\\b.dll"));
    EXPECT_TRUE(fileExists("C:\\held.dll"));
    const std::vector<LONG> sourceFlags = {list.exists[0], list.exists[2], list.exists[4]};
    EXPECT_EQ((std::vector<LONG>{0, 1, 1}), sourceFlags);
    releasePendingRenames(list);
    EXPECT_EQ(before, pendingValueBytes());
}

TEST_F(PendingRenames, ProductDllsKeepARebootPendingOnlyWhileTheyStayQueued) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool pending;
        unsigned restarts;
        std::vector<std::string> present; // files that must still be there afterwards
        std::vector<std::string> gone;
    } rows[] = {
        {"driver DLL queued for deletion",
         [] {
             writeFile(inDrivers("orvdrv64.dll"), "d");
             queueDeletion(inDrivers("orvdrv64.dll"));
         },
         false,
         0,
         {},
         {inDrivers("orvdrv64.dll")}},
        {"driver DLL queued for deletion, held by the spooler",
         [] {
             writeFile(inDrivers("orvdrv64.dll"), "d");
             holdFileBySpooler(inDrivers("orvdrv64.dll"), true);
             queueDeletion(inDrivers("orvdrv64.dll"));
         },
         false,
         1,
         {},
         {inDrivers("orvdrv64.dll")}},
        {"temporary file renamed onto the monitor DLL",
         [] {
             writeFile(inSystem("fol1.tmp"), "m");
             writeFile(inSystem("orvmon64.dll"), "m");
             holdFileBySpooler(inSystem("orvmon64.dll"), true);
             queueRename(inSystem("fol1.tmp"), inSystem("orvmon64.dll"));
         },
         false,
         0,
         {inSystem("fol1.tmp"), inSystem("orvmon64.dll")},
         {}},
        {"UI DLL in capitals, renamed, held by another program",
         [] {
             writeFile(inDrivers("ORVUI64.DLL"), "u");
             holdFile(inDrivers("ORVUI64.DLL"), "explorer.exe", true);
             queueRename(inDrivers("ORVUI64.DLL"), inDrivers("orvui64.old"));
         },
         true,
         2,
         {inDrivers("ORVUI64.DLL")},
         {}},
        {"UI DLL renamed, held by the spooler only",
         [] {
             writeFile(inDrivers("orvui64.dll"), "u");
             holdFileBySpooler(inDrivers("orvui64.dll"), true);
             queueRename(inDrivers("orvui64.dll"), inDrivers("orvui64.old"));
         },
         true,
         2,
         {inDrivers("orvui64.dll")},
         {}},
        {"source is a directory",
         [] {
             makeDirectory(inDrivers("orvdrv64.dll"));
             queueDeletion(inDrivers("orvdrv64.dll"));
         },
         false,
         0,
         {inDrivers("orvdrv64.dll")},
         {}},
        {"source does not exist",
         [] { queueDeletion(inSystem("orvmon64.dll")); },
         false,
         0,
         {},
         {}},
        {"odd last string names a held DLL",
         [] {
             writeFile(inSystem("orvmon64.dll"), "m");
             holdFile(inSystem("orvmon64.dll"), "viewer.exe", true);
             setPendingValue("\\??\\C:\\x.tmp|\\??\\C:\\y.tmp|\\??\\" + inSystem("orvmon64.dll") +
                             "||");
         },
         false,
         0,
         {inSystem("orvmon64.dll")},
         {}},
        {"source without prefix",
         [] {
             writeFile(inSystem("orvmon64.dll"), "m");
             setPendingValue(inSystem("orvmon64.dll") + "|||");
         },
         false,
         0,
         {},
         {inSystem("orvmon64.dll")}},
        {"source with a broken prefix",
         [] {
             writeFile(inSystem("orvmon64.dll"), "m");
             holdFile(inSystem("orvmon64.dll"), "viewer.exe", true);
             setPendingValue("\\??" + inSystem("orvmon64.dll") + "|x||");
         },
         false,
         0,
         {inSystem("orvmon64.dll")},
         {}},
        {"product DLL only as a target",
         [] {
             writeFile(inSystem("fol1.tmp"), "m");
             writeFile(inSystem("orvdrv64.dll"), "m");
             holdFile(inSystem("orvdrv64.dll"), "viewer.exe", true);
             setPendingValue("\\??\\" + inSystem("fol1.tmp") + "|\\??\\" +
                             inSystem("orvdrv64.dll") + "||");
         },
         false,
         0,
         {inSystem("fol1.tmp")},
         {}},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        row.arrange();
        EXPECT_EQ(row.pending, productFilesPendingRename()) << row.name;
        EXPECT_EQ(row.restarts, serviceStopCount("spooler")) << row.name;
        EXPECT_EQ(row.restarts, serviceStartCount("spooler")) << row.name;
        EXPECT_EQ(uint32_t{SERVICE_RUNNING}, serviceState("spooler")) << row.name;
        for (const std::string& path : row.present) {
            EXPECT_TRUE(onDisk(path)) << row.name << ": " << path;
        }
        for (const std::string& path : row.gone) {
            EXPECT_FALSE(onDisk(path)) << row.name << ": " << path;
        }
    }
}

TEST_F(PendingRenames, OnInitExits200WhileAProductDllWaitsForAReboot) {
    writeFile(inDrivers("ORVUI64.DLL"), "u");
    holdFile(inDrivers("ORVUI64.DLL"), "explorer.exe", true);
    queueRename(inDrivers("ORVUI64.DLL"), inDrivers("orvui64.old"));
    setCommandWords({"onInit"});
    EXPECT_EQ(200, wWinMain(static_cast<HINSTANCE>(programInstance()), nullptr, nullptr, 1));
    releaseFileHolds("explorer.exe");
    setCommandWords({"ONINIT"});
    EXPECT_EQ(200, wWinMain(static_cast<HINSTANCE>(programInstance()), nullptr, nullptr, 1));
    reboot();
    EXPECT_EQ(6, wWinMain(static_cast<HINSTANCE>(programInstance()), nullptr, nullptr, 1));
    moduleInstance = nullptr;
}

} // namespace
