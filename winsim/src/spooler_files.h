// The files the spooler process touches: monitor DLLs it loads, driver files it copies
// into and deletes from its driver directories, and the files it keeps loaded while it
// runs (held under the owner "spooler", so they are let go of when the service stops).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim::spool {

std::string systemDirectory();
// A module name without a directory is found in the system directory, where LoadLibrary
// in the spooler finds a port monitor.
std::string modulePath(const std::string& dll);
std::string fileNamePart(const std::string& path);

bool fileExists(const std::string& path);
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// 0 or the Win32 error of the step that failed; the caller's last error is left alone.
DWORD copyFile(const std::string& from, const std::string& to);
DWORD deleteFile(const std::string& path);
void createDirectories(const std::string& path);
// Queued for the session manager to delete at the next boot.
void deleteAtReboot(const std::string& path);

// DLLs are mapped as images; other files are held open for reading.
void holdFile(const std::string& path);
void releaseHeldFiles();

} // namespace winsim::spool
