// The files of the simulated machine's drive C: (hostDir/drive_c) as the version calls and
// the stand-in writer see them: Windows paths, resolved one component at a time without
// regard to case, as NTFS looks names up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

struct FileBytes {
    DWORD error = ERROR_SUCCESS; // the error CreateFileW would give for the path
    std::vector<uint8_t> bytes;
};

FileBytes readMachineFile(const std::u16string& windowsPath);

// Writes the file, creating missing directories on the way. False when the path is not on
// drive C: or the host refuses the write.
bool writeMachineFile(const std::u16string& windowsPath, const std::vector<uint8_t>& bytes);

} // namespace winsim
