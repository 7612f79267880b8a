// Windows paths on the simulated drive C: and where they live on the host.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "files_model.h"

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

// Why opening the existing file at `path` with `use` fails: 3 and 2 for a missing parent or
// file, 5 for a directory or a file pending deletion, 32 for a share conflict; 0 when it
// may be opened.
DWORD existingFileRefusal(const WindowsPath& path, const HostLocation& location,
                          const FileUse& use);

} // namespace winsim
