// Named mutexes and the other programs: CreateMutexA/W's names and ownership, waits,
// ReleaseMutex, CloseHandle; CreateProcessW's image; and copies of this program (see
// battery.h) holding a mutex and windows for FindWindowW, IsWindow, PostMessageW and waits.
#include "battery.h"

namespace conformance {

namespace {

const Row<const WCHAR*> kMutexNames[] = {
    {"mutex.create.new", L"ConfSetup"},
    {"mutex.create.existing", L"ConfSetup"},
    {"mutex.create.other-case", L"confsetup"},
    {"mutex.create.local-prefix", L"Local\\ConfSetup"},
    {"mutex.create.global", L"Global\\ConfSetup"},
    {"mutex.create.global-existing", L"Global\\ConfSetup"},
    {"mutex.create.unnamed", nullptr},
    {"mutex.create.unnamed-again", nullptr},
};

const Row<const WCHAR*> kStarts[] = {
    {"process.start.quoted", L"\"C:\\conf\\inert.exe\" /x"},
    {"process.start.no-extension", L"C:\\conf\\inert /x"},
    {"process.start.bare-name", L"inert.exe"},
    {"process.start.missing", L"\"C:\\conf\\missing.exe\""},
    {"process.start.missing-bare", L"missing.exe"},
    {"process.start.missing-dir", L"\"C:\\none\\x.exe\""},
    {"process.start.directory", L"\"C:\\conf\\dir.exe\""},
    {"process.start.not-a-program", L"\"C:\\conf\\file.txt\""},
};

// The class and the title.
const Row<const WCHAR*, const WCHAR*> kFinds[] = {
    {"window.find.any-case", L"confviewer", L"CONF HELP"},
    {"window.find.newest", L"" CONF_VIEWER_CLASS, nullptr},
    {"window.find.title-only", nullptr, L"conf tray"},
    {"window.find.class-only", L"CONFTRAY", nullptr},
    {"window.find.part-of-title", L"" CONF_VIEWER_CLASS, L"Conf"},
    {"window.find.missing", L"ConfMissing", nullptr},
};

// The windows the other programs show, by the exact class and title they were given.
HWND tray, help, other;

std::string which(HWND window) {
    return !window           ? "NULL"
           : window == tray  ? "tray"
           : window == help  ? "help"
           : window == other ? "other"
                             : "another";
}

// The installer's way: no application name, STARTF_USESHOWWINDOW with SW_SHOW. What a
// failed call leaves in the process information is undefined.
BOOL start(const char* id, const WCHAR* commandLine, PROCESS_INFORMATION& info) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    info = {nullptr, nullptr, kPoison, kPoison};
    WCHAR command[MAX_PATH] = {}; // CreateProcessW may write into it
    for (int i = 0; commandLine[i] && i < MAX_PATH - 1; ++i) {
        command[i] = commandLine[i];
    }
    CASE(id, text(commandLine),
         CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &info),
         flag, result_ ? std::string("pid=") + (info.dwProcessId == kPoison ? "-" : "set") : "");
    return info.dwProcessId != kPoison;
}

// A program shows its window some moments after its start under Wine; at once on winsim.
HWND windowOf(const WCHAR* windowClass, const WCHAR* title) {
    poll(250, 20, [&] { return FindWindowW(windowClass, title) != nullptr; });
    return FindWindowW(windowClass, title);
}

void closeProcess(const PROCESS_INFORMATION& info) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

// The tray companion's part: its mutex held, its window answering the quit message.
void trayCases(PROCESS_INFORMATION& process) {
    CASE("process.image.delete-running", "", DeleteFileW(L"C:\\conf\\" CONF_TRAY), flag);
    HANDLE mutex =
        CASE("mutex.other.open", "", CreateMutexA(nullptr, FALSE, CONF_TRAY_NAME), handle);
    CASE("mutex.other.wait-held", "100", WaitForSingleObject(mutex, 100), hex);
    CASE("mutex.other.release-held", "", ReleaseMutex(mutex), flag);
    for (const auto& [id, windowClass, title] : kFinds) {
        CASE(id, text(windowClass) + "," + text(title), FindWindowW(windowClass, title), which);
    }
    CASE("window.is-window.other-program", "", IsWindow(tray), flag);
    CASE("window.post.quit", "WM_USER+2", PostMessageW(tray, WM_USER + 2, 0, 0), flag);
    CASE("mutex.other.wait-released", "5000", WaitForSingleObject(mutex, 5000), hex);
    CASE("process.wait.ended", "5000", WaitForSingleObject(process.hProcess, 5000), hex);
    CASE("window.is-window.ended", "", IsWindow(tray), flag);
    CASE("window.post.ended", "", PostMessageW(tray, WM_USER + 2, 0, 0), flag);
    CASE("mutex.other.release-taken", "", ReleaseMutex(mutex), flag);
    CloseHandle(mutex);
    poll(10, 100, [] { return DeleteFileW(L"C:\\conf\\" CONF_TRAY); });
    CASE("process.image.ended", "", GetFileAttributesW(L"C:\\conf\\" CONF_TRAY), hex);
    CASE("handle.close.thread", "", CloseHandle(process.hThread), flag);
    CASE("handle.close.process", "", CloseHandle(process.hProcess), flag);
    CASE("handle.close.process-twice", "", CloseHandle(process.hProcess), flag);
}

// The help viewer's part: each window closes on SC_CLOSE, the viewer with its last.
void viewerCases(const PROCESS_INFORMATION& viewer) {
    CASE("window.post.close", "SC_CLOSE", PostMessageW(help, WM_SYSCOMMAND, SC_CLOSE, 0), flag);
    poll(100, 50, [] { return !FindWindowW(L"" CONF_VIEWER_CLASS, L"" CONF_HELP_TITLE); });
    CASE("window.find.closed", "", FindWindowW(L"" CONF_VIEWER_CLASS, L"" CONF_HELP_TITLE), which);
    CASE("window.find.left", "", FindWindowW(L"" CONF_VIEWER_CLASS, nullptr), which);
    PostMessageW(other, WM_SYSCOMMAND, SC_CLOSE, 0);
    CASE("process.wait.last-window", "5000", WaitForSingleObject(viewer.hProcess, 5000), hex);
}

// A program that ends owning its mutex leaves it abandoned to the next waiter.
void abandonCases() {
    PROCESS_INFORMATION quitter;
    start("process.start.quitter", L"\"C:\\conf\\" CONF_QUITTER "\"", quitter);
    HWND window = windowOf(L"" CONF_QUITTER_NAME, nullptr);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, CONF_QUITTER_NAME);
    PostMessageW(window, WM_USER + 2, 0, 0);
    CASE("mutex.other.wait-abandoned", "5000", WaitForSingleObject(mutex, 5000), hex);
    CASE("mutex.other.wait-again", "0", WaitForSingleObject(mutex, 0), hex);
    CASE("mutex.other.release-abandoned", "", ReleaseMutex(mutex) && ReleaseMutex(mutex), flag);
    CloseHandle(mutex);
    WaitForSingleObject(quitter.hProcess, 5000);
    closeProcess(quitter);
}

} // namespace

void mutexCases() {
    HANDLE handles[8];
    int n = 0;
    // Whether the creator owns the mutex shows in its release.
    for (const auto& [id, name] : kMutexNames) {
        handles[n++] = CASE(id, text(name), CreateMutexW(nullptr, TRUE, name), handle,
                            "owned=" + flag(ReleaseMutex(result_)));
    }
    while (n > 0) {
        CloseHandle(handles[--n]);
    }
    HANDLE mutex =
        CASE("mutex.create.after-close", "", CreateMutexA(nullptr, TRUE, "ConfSetup"), handle);
    CASE("mutex.wait.own", "0", WaitForSingleObject(mutex, 0), hex);
    for (const char* id : {"mutex.release.first", "mutex.release.second", "mutex.release.third"}) {
        CASE(id, "", ReleaseMutex(mutex), flag);
    }
    CASE("handle.close.mutex", "", CloseHandle(mutex), flag);
    CASE("handle.close.mutex-twice", "", CloseHandle(mutex), flag);
    CASE("mutex.wait.closed", "100", WaitForSingleObject(mutex, 100), hex);
    CASE("mutex.release.closed", "", ReleaseMutex(mutex), flag);
}

void otherProgramCases() {
    for (const WCHAR* copy : {L"C:\\conf\\inert.exe", L"C:\\conf\\" CONF_TRAY,
                              L"C:\\conf\\" CONF_QUITTER, L"C:\\conf\\" CONF_VIEWER}) {
        copyFile(L"C:\\conf\\conformance.exe", copy);
    }
    for (const auto& [id, name] : kStarts) {
        PROCESS_INFORMATION info;
        if (start(id, name, info)) {
            closeProcess(info);
        }
    }
    PROCESS_INFORMATION trayProcess, viewer;
    start("process.start.tray", L"\"C:\\conf\\" CONF_TRAY "\"", trayProcess);
    start("process.start.viewer", L"\"C:\\conf\\" CONF_VIEWER "\"", viewer);
    tray = windowOf(L"" CONF_TRAY_NAME, L"" CONF_TRAY_TITLE);
    help = windowOf(L"" CONF_VIEWER_CLASS, L"" CONF_HELP_TITLE);
    other = windowOf(L"" CONF_VIEWER_CLASS, L"" CONF_OTHER_TITLE);
    CASE("window.is-window.null", "", IsWindow(nullptr), flag);
    CASE("window.is-window.number", "", IsWindow(reinterpret_cast<HWND>(0x10010)), flag);
    trayCases(trayProcess);
    viewerCases(viewer);
    closeProcess(viewer);
    abandonCases();
}

} // namespace conformance
