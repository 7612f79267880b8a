// CreateProcessW: which image it runs, which simulated program that is, and what it holds;
// SetDefaultDllDirectories.
#include <cstring>

#include <windows.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

BOOL deleteFile(const std::string& path) {
    return DeleteFileW(W(path));
}

namespace control = winsim::control;

const DWORD kPoison = 0xDEADBEEF;
const char kTray[] = "C:\\Program Files\\Folioscope\\foltray.exe";
const char kTool[] = "C:\\Data\\tool.exe";

class Processes : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        control::writeVersionedPe(kTray, 3, 0, 0, 2060);
        control::writeVersionedPe(kTool, 1, 0, 0, 0);
    }

    // The installer's way: no application name, STARTF_USESHOWWINDOW with SW_SHOW.
    BOOL start(const std::string& commandLine) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOW;
        std::memset(&info, 0xDE, sizeof info);
        W line(commandLine);
        SetLastError(kPoison);
        return CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                              nullptr, nullptr, &startup, &info);
    }
    void closeInfo() {
        EXPECT_TRUE(CloseHandle(info.hProcess));
        EXPECT_TRUE(CloseHandle(info.hThread));
    }

    PROCESS_INFORMATION info;
};

TEST_F(Processes, TheImageIsTheCommandLinesFirstWordAndMustBeAProgramOnDriveC) {
    control::writeFile("C:\\Data\\notes.txt", "text");
    control::makeDirectory("C:\\Data\\dir.exe");
    struct Row {
        std::string commandLine;
        DWORD error;
        const char* image;
    } rows[] = {
        {"\"" + std::string(kTray) + "\" /start", 0, kTray},
        {"C:\\Data\\tool /x", 0, kTool}, // ".exe" is added to a name without extension
        {"foltray.exe", 0, kTray},       // a bare name is found beside the installer
        {"\"C:\\Data\\missing.exe\"", ERROR_FILE_NOT_FOUND, nullptr},
        {"missing.exe", ERROR_FILE_NOT_FOUND, nullptr},
        {"\"C:\\Nowhere\\x.exe\"", ERROR_PATH_NOT_FOUND, nullptr},
        {"\"C:\\Data\\dir.exe\"", ERROR_ACCESS_DENIED, nullptr},
        {"\"C:\\Data\\notes.txt\"", ERROR_BAD_EXE_FORMAT, nullptr},
    };
    for (const Row& row : rows) {
        const BOOL started = start(row.commandLine);
        EXPECT_EQ(row.error ? row.error : kPoison, GetLastError()) << row.commandLine;
        ASSERT_EQ(row.error == 0, started != FALSE) << row.commandLine;
        if (!started) {
            EXPECT_EQ(0xDEDEDEDEu, info.dwProcessId);
            EXPECT_EQ(0xDEDEDEDEu, info.dwThreadId);
            continue;
        }
        const control::ProgramState program = control::programs().back();
        EXPECT_EQ(row.image, program.image);
        EXPECT_EQ(row.commandLine, program.commandLine);
        EXPECT_EQ(program.pid, info.dwProcessId);
        closeInfo();
    }
}

// The mapped behaviour runs: the companion by file name on every machine, a behaviour
// mapped to the full path before one mapped to the file name. The handles wait for the
// program's end.
TEST_F(Processes, StartsTheMappedProgramWhichHoldsItsImageWhileItRuns) {
    control::ProgramBehaviour viewer = control::helpViewer();
    viewer.imageHeldAfterEndMs = 200;
    control::mapImage("c:\\data\\TOOL.exe", viewer);
    ASSERT_TRUE(start("\"" + std::string(kTray) + "\""));
    EXPECT_EQ(control::ProgramKind::trayCompanion, control::programs()[0].kind);
    EXPECT_EQ(DWORD(STARTF_USESHOWWINDOW), control::programs()[0].startupFlags);
    EXPECT_EQ(DWORD(SW_SHOW), control::programs()[0].showWindow);
    EXPECT_FALSE(deleteFile(kTray));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(info.hThread, 1000));
    closeInfo();
    EXPECT_TRUE(control::programs()[0].running);

    ASSERT_TRUE(start(kTool));
    EXPECT_EQ(control::ProgramKind::helpViewer, control::programs()[1].kind);
    PostMessageW(FindWindowW(W("HH Parent"), nullptr), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(info.hProcess, INFINITE));
    EXPECT_EQ(1100u, control::clockMs());
    EXPECT_FALSE(deleteFile(kTool));
    Sleep(200);
    EXPECT_TRUE(deleteFile(kTool));
    closeInfo();

    control::writeVersionedPe(kTool, 1, 0, 0, 0);
    control::mapImage("tool.exe", control::ProgramBehaviour());
    control::mapImage("C:\\Data\\tool.exe", control::trayCompanion());
    ASSERT_TRUE(start(kTool));
    closeInfo();
    EXPECT_EQ(control::ProgramKind::trayCompanion, control::programs()[2].kind);
    EXPECT_FALSE(control::programs()[2].running) << "a second companion leaves at once";
}

TEST_F(Processes, DefaultDllDirectoriesTakeOnlyTheLoadersSearchFlags) {
    const struct {
        DWORD flags;
        bool valid;
    } rows[] = {{0, false},
                {LOAD_LIBRARY_SEARCH_SYSTEM32 | 0x1, false},
                {LOAD_LIBRARY_SEARCH_SYSTEM32, true},
                {LOAD_LIBRARY_SEARCH_DEFAULT_DIRS | LOAD_LIBRARY_SEARCH_APPLICATION_DIR, true}};
    for (const auto& row : rows) {
        const uint32_t before = control::defaultDllDirectories();
        SetLastError(kPoison);
        EXPECT_EQ(row.valid, SetDefaultDllDirectories(row.flags) != FALSE) << row.flags;
        EXPECT_EQ(row.valid ? kPoison : DWORD(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(row.valid ? row.flags : before, control::defaultDllDirectories());
    }
}

} // namespace
