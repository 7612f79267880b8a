// The boot-time rename queue: the multi-string scan under it, reading the queue, and the
// product DLLs it keeps waiting for a reboot.
#include "support/machine_test.h"

#include <string>
#include <utility>
#include <vector>

#include "app/module_instance.h"
#include "machine.h"
#include "system/multi_string.h"
#include "system/pending_renames.h"
#include "winsim/control.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int);

namespace {

using namespace winsim::control;

using PendingRenames = MachineTest;

// The bytes of a value as the registry would hand them over: UTF-16LE of an ASCII text in
// which "|" stands for NUL, plus any extra raw bytes (an odd size).
std::vector<unsigned char> valueBytes(const std::string& text, const std::string& extra = "") {
    std::vector<unsigned char> bytes;
    for (char c : text) {
        bytes.push_back(c == '|' ? 0 : static_cast<unsigned char>(c));
        bytes.push_back(0);
    }
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    return bytes;
}

// Scans a heap copy of exactly the value's size, so the sanitizer build catches any read
// past its end.
std::vector<MultiStringPart> scan(std::vector<unsigned char> exact) {
    exact.shrink_to_fit();
    std::vector<MultiStringPart> parts(exact.size() + 1);
    parts.resize(scanMultiString(exact.data(), exact.size(), parts.data(), parts.size()));
    return parts;
}

TEST(MultiStringScan, FindsEveryStringBeforeTheTerminatorAndNothingOutsideTheData) {
    using Parts = std::vector<std::pair<size_t, size_t>>;
    const struct {
        const char* name;
        std::vector<unsigned char> bytes;
        Parts expected; // (start, length) in characters
    } rows[] = {
        {"size 0", {}, {}},
        {"size 1", {'a'}, {}},
        {"only the terminator", valueBytes("|"), {}},
        {"size 3", valueBytes("a", "b"), {}},
        {"one string", valueBytes("a||"), {{0, 1}}},
        {"two strings", valueBytes("ab|c||"), {{0, 2}, {3, 1}}},
        {"deletion as Windows queues it", valueBytes("\\??\\C:\\f|||"), {{0, 8}, {9, 0}}},
        {"empty string first", valueBytes("||"), {{0, 0}}},
        {"no terminating empty string", valueBytes("a|b|"), {{0, 1}, {2, 1}}},
        {"last string without terminator", valueBytes("a|bc"), {{0, 1}, {2, 2}}},
        {"only an unterminated string", valueBytes("ab"), {{0, 2}}},
        {"odd size ends in half a character", valueBytes("a|bc", "x"), {{0, 1}, {2, 2}}},
        // 7 bytes: the third character would be the terminator, so "b" lies past the strings.
        {"odd size, short", valueBytes("a|b", "c"), {{0, 1}}},
        {"odd number of strings", valueBytes("s|t|u||"), {{0, 1}, {2, 1}, {4, 1}}},
    };
    for (const auto& row : rows) {
        Parts found;
        for (const MultiStringPart& part : scan(row.bytes)) {
            found.emplace_back(part.start, part.length);
        }
        EXPECT_EQ(row.expected, found) << row.name;
    }
}

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

// Writes the value's bytes directly (valueBytes), with no terminator added.
void setPendingValue(const std::string& text, DWORD type = REG_MULTI_SZ) {
    const std::vector<unsigned char> bytes = valueBytes(text);
    winsim::Registry::setValue(sessionManager(), kPending, type, bytes.data(), bytes.size());
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
        EXPECT_EQ(valueBytes(row.value), winsim::Registry::value(sessionManager(), kPending)->data);
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
    setAdministrator(false); // a setup program asks before it elevates
    setCommandWords({"ONINIT"});
    EXPECT_EQ(200, wWinMain(instance, nullptr, nullptr, 1));
    reboot();
    EXPECT_EQ(102, wWinMain(instance, nullptr, nullptr, 1));
    moduleInstance = nullptr;
}

} // namespace
