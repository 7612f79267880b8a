#pragma once

#include <cstdint>
#include <string>

namespace winsim::control {

// Files on drive C: by their Windows path, for tests and tools. writeFile creates the
// directories on the way and replaces any contents; readFile gives "" for a missing file.
bool writeFile(const std::string& windowsPath, const std::string& bytes);
std::string readFile(const std::string& windowsPath);
bool fileExists(const std::string& windowsPath);
bool makeDirectory(const std::string& windowsPath);
// Where the file lives on the host (its last component as written when it does not exist).
std::string hostPathOf(const std::string& windowsPath);

void setReadOnly(const std::string& windowsPath, bool readOnly);

// Another program has the file: mapped as a loaded DLL or EXE (`image`: deleting it fails
// with 5, opening it for writing with 32), or else open for reading without
// FILE_SHARE_DELETE (both fail with 32). Reading it stays possible. forMs = 0 holds it
// until released; otherwise the program lets go once the virtual clock has moved on forMs.
void holdFile(const std::string& windowsPath, const std::string& process, bool image,
              uint64_t forMs = 0);
// Another program (an on-access scanner, say) opens the file as soon as it has been written
// and closed, for reading, sharing read and write but not delete: deleting it then fails
// with 32 until the program is released. Not saved with the machine.
void holdFileOnceWritten(const std::string& windowsPath, const std::string& process);
// As holdFile until released, but the program lets go once `refusals` deletions of the file
// were refused: an on-access scanner whose scan ends while the installer retries, however
// little virtual time passes. The count is not saved with the machine.
void holdFileForRefusals(const std::string& windowsPath, const std::string& process, bool image,
                         unsigned refusals);
// The spooler's holds end when the spooler service stops.
void holdFileBySpooler(const std::string& windowsPath, bool image);
void releaseFileHolds(const std::string& process);

// Faults of the medium: every failing CreateFileW costs `ms` of virtual time; the disk has
// only `bytes` left (WriteFile that does not fit fails with ERROR_DISK_FULL);
// ReadFile of the file fails with `error` (ERROR_READ_FAULT, ERROR_CRC) once a read
// reaches beyond its first `afterBytes` bytes.
void setFailingOpenCostMs(uint64_t ms);
void setDiskFreeBytes(uint64_t bytes);
void failReadsAfter(const std::string& windowsPath, uint64_t afterBytes, uint32_t error);

// The program runs elevated unless a test says otherwise; without administrator rights
// it cannot queue boot-time file operations.
void setAdministrator(bool administrator);

// Restarts the machine: the session manager carries out PendingFileRenameOperations in
// order (failures are skipped, as at boot) and clears it; no process holds a file any more.
void reboot();

} // namespace winsim::control
