// Windows paths on the simulated drive C: and where they live on the host.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

struct WindowsPath {
    DWORD error = 0;                     // 0, or the code a call fails with for this path
    std::string full;                    // "C:\dir\file" as written, "." and ".." resolved
    std::string key;                     // case-folded: one file has one key
    std::vector<std::string> components; // below the root of the drive
};

// Accepts "C:\a\b", "c:/a/b" and the NT form "\??\C:\a\b". Other drives and relative
// paths do not exist on the simulated machine (3); wildcard or reserved characters in a
// name are a syntax error (123).
WindowsPath parseWindowsPath(const std::string& utf8);
WindowsPath parseWindowsPath(LPCWSTR path);

enum class PathState { ParentMissing, Missing, File, Directory };

struct HostLocation {
    PathState state = PathState::ParentMissing;
    std::string host; // host path; a missing last component keeps the case it was written in
};

// Names are matched without regard to case, as NTFS does, against the host directory.
HostLocation locate(const WindowsPath& path);
std::string driveRoot();

} // namespace winsim
