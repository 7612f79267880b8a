// Starting other programs. The image must be an executable on drive C:; what runs is the
// simulated program the machine maps to that image (see control/programs.h).
#include <fstream>
#include <iterator>
#include <vector>

#include "files_paths.h"
#include "machine.h"
#include "pe_image.h"
#include "winsim/text.h"

namespace {

// The program name at the front of a command line: up to the closing quote, or up to the
// first blank. Windows tries an unquoted name with blanks piece by piece ("C:\Program.exe",
// then "C:\Program Files\..."); here only its first piece is tried.
std::string imageOfCommandLine(const std::string& line) {
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        return line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return line.substr(0, line.find_first_of(" \t"));
}

// A name taken from the command line gets ".exe" when it has no extension, and a bare name
// is looked for beside the installer, then in the system and Windows directories.
std::vector<std::string> candidates(std::string name, bool fromCommandLine) {
    const size_t slash = name.find_last_of("\\/");
    if (fromCommandLine &&
        name.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) {
        name += ".exe";
    }
    if (name.find_first_of("\\/:") != std::string::npos) {
        return {name};
    }
    const std::string& program = winsim::machine().settings.programPath;
    return {program.substr(0, program.find_last_of('\\') + 1) + name,
            "C:\\Windows\\system32\\" + name, "C:\\Windows\\" + name};
}

bool isPeImage(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    winsim::pe::Image image;
    return winsim::pe::parseImage(winsim::pe::ByteView(bytes), &image);
}

// The loader opens the image to read and execute it, sharing read and delete.
DWORD imageRefusal(const winsim::WindowsPath& path, const winsim::HostLocation& location) {
    const winsim::FileUse use{GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE};
    if (DWORD error = winsim::existingFileRefusal(path, location, use)) {
        return error;
    }
    return isPeImage(location.host) ? 0 : ERROR_BAD_EXE_FORMAT;
}

// The first candidate that exists decides; when none does, the error of the first.
DWORD findImage(const std::vector<std::string>& names, winsim::WindowsPath& found) {
    DWORD firstError = 0;
    for (const std::string& name : names) {
        const winsim::WindowsPath path = winsim::parseWindowsPath(name);
        const winsim::HostLocation location = winsim::locate(path);
        const DWORD error = path.error ? path.error : imageRefusal(path, location);
        if (!error || (location.state != winsim::PathState::Missing &&
                       location.state != winsim::PathState::ParentMissing)) {
            found = path;
            return error;
        }
        firstError = firstError ? firstError : error;
    }
    return firstError;
}

} // namespace

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                           LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes, (void)lpThreadAttributes, (void)bInheritHandles;
    (void)dwCreationFlags, (void)lpEnvironment, (void)lpCurrentDirectory;
    if ((!lpApplicationName && !lpCommandLine) || !lpStartupInfo || !lpProcessInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string commandLine =
        winsim::toUtf8(lpCommandLine ? lpCommandLine : lpApplicationName);
    const std::vector<std::string> names =
        lpApplicationName ? std::vector<std::string>{winsim::toUtf8(lpApplicationName)}
                          : candidates(imageOfCommandLine(commandLine), true);
    winsim::WindowsPath image;
    if (DWORD error = findImage(names, image)) {
        SetLastError(error);
        return FALSE;
    }
    winsim::Programs& programs = winsim::machine().programs;
    const DWORD pid = programs.start(image.full, commandLine, programs.behaviourFor(image.full),
                                     lpStartupInfo->dwFlags, lpStartupInfo->wShowWindow);
    lpProcessInformation->hProcess = programs.addHandle(winsim::ObjectKind::process, pid);
    lpProcessInformation->hThread = programs.addHandle(winsim::ObjectKind::thread, pid);
    lpProcessInformation->dwProcessId = pid;
    lpProcessInformation->dwThreadId = programs.program(pid)->tid;
    return TRUE;
}
