#include "support/machine_test.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/module_instance.h"
#include "machine.h"
#include "system/pending_renames.h"
#include "winsim/control.h"
#include "winsim/text.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int);

namespace {

using namespace winsim::control;

using PendingRenames = MachineTest;

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

std::string inSystem(const std::string& name) {
    return "C:\\Windows\\System32\\" + name;
}
std::string inDrivers(const std::string& name) {
    return "C:\\Windows\\System32\\spool\\drivers\\x64\\3\\" + name;
}

winsim::RegKey& sessionManager() {
    return *winsim::machine().registry.create(winsim::Hive::LocalMachine, kSessionManager);
}

// Writes the value's bytes directly, "|" standing for NUL, with no terminator added.
void setPendingValue(const std::string& text, DWORD type = REG_MULTI_SZ) {
    std::u16string chars = winsim::toUtf16(text);
    std::replace(chars.begin(), chars.end(), u'|', u'\0');
    winsim::Registry::setValue(sessionManager(), kPending, type, chars.data(), 2 * chars.size());
}

// The value read back the same way.
std::string pendingValue() {
    const std::vector<uint8_t>& bytes = winsim::Registry::value(sessionManager(), kPending)->data;
    std::u16string chars(bytes.size() / 2, u'\0');
    std::memcpy(&chars[0], bytes.data(), 2 * chars.size());
    std::replace(chars.begin(), chars.end(), u'\0', u'|');
    return winsim::toUtf8(chars);
}

// Each entry as "name=flag", the name empty for a null entry.
std::vector<std::string> entriesOf(const PendingRenameList& list) {
    std::vector<std::string> entries;
    for (LONG i = 0; i < 2 * list.count; ++i) {
        entries.push_back((list.names[i] ? u8(list.names[i]) : "") + "=" +
                          std::to_string(list.exists[i]));
    }
    return entries;
}

// Odd strings, prefixes and directories are pinned through productFilesPendingRename below.
// A released list is empty.
TEST_F(PendingRenames, ReadsEachEntryWithinTheValuesData) {
    const struct {
        const char* name;
        const char* value; // nullptr: no value at all
        std::vector<std::string> expected;
        DWORD type = REG_MULTI_SZ;
    } rows[] = {
        {"deletions and a rename as MoveFileExW queues them",
         "\\??\\C:\\a.dll||\\??\\C:\\a.dll|!\\??\\C:\\b.dll|\\??\\C:\\b.dll|||",
         {"\\??\\C:\\a.dll=1", "=0", "\\??\\C:\\a.dll=1", "!\\??\\C:\\b.dll=0", "\\??\\C:\\b.dll=0",
          "=0"}},
        {"no value", nullptr, {}},
        {"empty value", "", {}},
        {"last string without terminator",
         "\\??\\C:\\a.dll|\\??\\C:\\b.dll",
         {"\\??\\C:\\a.dll=1", "\\??\\C:\\b.dll=0"}},
        {"other type read as a multi-string", "C:\\a.dll|x||", {"C:\\a.dll=1", "x=0"}, REG_SZ},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        freshMachine(dir());
        writeFile("C:\\a.dll", "a");
        if (row.value != nullptr) {
            setPendingValue(row.value, row.type);
        }
        PendingRenameList list = readPendingRenames();
        EXPECT_EQ(row.expected, entriesOf(list));
        EXPECT_EQ(row.expected.empty(), list.names == nullptr && list.exists == nullptr);
        releasePendingRenames(list);
        EXPECT_TRUE(list.count == 0 && list.names == nullptr && list.exists == nullptr);
    }
}

// Queued deletions of existing sources are carried out now; the value stays as it was, for
// the session manager to skip at boot. Values are as MoveFileExW writes them unless a row
// is about odd ones; "|" stands for NUL.
TEST_F(PendingRenames, ProductDllsKeepARebootPendingOnlyWhileTheyStayQueued) {
    const std::string monitor = inSystem("orvmon64.dll");
    const std::string driver = inDrivers("orvdrv64.dll");
    const std::string ui = inDrivers("ORVUI64.DLL");
    const std::string temporary = inSystem("fol1.tmp");
    const std::string p = "\\??\\";
    const struct {
        const char* name;
        bool pending;
        unsigned restarts;
        std::string present;     // "" when none must stay
        std::string gone;        // "" when none must go
        std::string file, other; // written first; a name ending in "\" is made a directory
        std::string held;
        const char* holder; // "spooler", or a program holding it against deletion
        std::string value;
    } rows[] = {
        {"driver DLL queued for deletion", false, 0, "", driver, driver, "", "", "",
         p + driver + "|||"},
        {"driver DLL queued for deletion, held by the spooler", false, 1, "", driver, driver, "",
         driver, "spooler", p + driver + "|||"},
        {"temporary file renamed onto the monitor DLL", false, 0, temporary, "", temporary, monitor,
         monitor, "spooler", p + temporary + "|!" + p + monitor + "||"},
        {"UI DLL in capitals, renamed, held by another program", true, 2, ui, "", ui, "", ui,
         "explorer.exe", p + ui + "|!" + p + inDrivers("orvui64.old") + "||"},
        {"source is a directory", false, 0, driver, "", driver + "\\", "", "", "",
         p + driver + "|||"},
        {"source does not exist", false, 0, "", "", "", "", "", "", p + monitor + "|||"},
        {"odd last string names a held DLL", false, 0, monitor, "", monitor, "", monitor,
         "viewer.exe", "\\??\\C:\\x.tmp|\\??\\C:\\y.tmp|" + p + monitor + "||"},
        {"source without prefix", false, 0, "", monitor, monitor, "", "", "", monitor + "|||"},
        {"sources with a prefix broken in each of its characters", false, 0, monitor, "", monitor,
         "", monitor, "viewer.exe",
         "x??\\" + monitor + "|x|\\x?\\" + monitor + "|x|\\?x\\" + monitor + "|x|\\??x" + monitor +
             "|x||"},
        {"monitor DLL after a slash, held by the spooler", false, 1, "", monitor, monitor, "",
         monitor, "spooler", "\\??\\C:\\Windows\\System32/orvmon64.dll|||"},
        {"product DLL only as a target", false, 0, temporary, "", temporary,
         inSystem("orvdrv64.dll"), inSystem("orvdrv64.dll"), "viewer.exe",
         p + temporary + "|" + p + inSystem("orvdrv64.dll") + "||"},
    };
    // A file or a directory.
    auto onDisk = [](const std::string& path) {
        return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        freshMachine(dir());
        for (const std::string& file : {row.file, row.other}) {
            if (!file.empty()) {
                file.back() == '\\' ? makeDirectory(file) : writeFile(file, "x");
            }
        }
        if (!row.held.empty()) {
            row.holder == std::string("spooler") ? holdFileBySpooler(row.held, true)
                                                 : holdFile(row.held, row.holder, true);
        }
        setPendingValue(row.value);
        EXPECT_EQ(row.pending, productFilesPendingRename());
        EXPECT_EQ(row.value, pendingValue());
        EXPECT_EQ(row.restarts, serviceStopCount("spooler"));
        EXPECT_EQ(row.restarts, serviceStartCount("spooler"));
        EXPECT_EQ(uint32_t{SERVICE_RUNNING}, serviceState("spooler"));
        EXPECT_TRUE(row.present.empty() || onDisk(row.present)) << row.present;
        EXPECT_TRUE(row.gone.empty() || !onDisk(row.gone)) << row.gone;
    }
}

TEST_F(PendingRenames, OnInitExits200WhileAProductDllWaitsForAReboot) {
    writeFile(inDrivers("ORVUI64.DLL"), "u");
    holdFile(inDrivers("ORVUI64.DLL"), "explorer.exe", true);
    // As the installer's run wrapper, or another setup program, queues it.
    ASSERT_TRUE(MoveFileExW(W(inDrivers("ORVUI64.DLL")), W(inDrivers("orvui64.old")),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    HINSTANCE instance = static_cast<HINSTANCE>(programInstance());
    setCommandWords({"onInit"});
    EXPECT_EQ(200, wWinMain(instance, nullptr, nullptr, 1));
    releaseFileHolds("explorer.exe");
    setCommandWords({"ONINIT"});
    EXPECT_EQ(200, wWinMain(instance, nullptr, nullptr, 1));
    reboot();
    EXPECT_EQ(102, wWinMain(instance, nullptr, nullptr, 1));
    moduleInstance = nullptr;
}

} // namespace
