#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace winsim::control {

// A new machine whose drive C: lives in hostDir/drive_c: Windows directories, the
// spooler service running, the standard port monitor, no printers.
void freshMachine(const std::string& hostDir);
// A fresh machine as Windows 10/11 x64 ships it: the inbox port monitors, printer drivers
// and printers, "Microsoft Print to PDF" as the user's default (see winsim/README.md).
void windowsMachine(const std::string& hostDir);
// A machine directory holds drive_c/, registry/HKLM.reg, registry/HKCU.reg and state.txt
// (see winsim/README.md). Loading makes dir the machine's host directory.
bool loadMachine(const std::string& dir);
bool saveMachine(const std::string& dir);
// Whether dir holds a saved machine (its state file).
bool machineExists(const std::string& dir);
// The directory named by WINSIM_MACHINE, or ./machine when it is not set.
std::string defaultMachineDir();

void setCommandLine(const std::string& utf8);
// The command line a Windows shell builds to start the program with these words: the
// program path, then each word, quoted where CommandLineToArgvW needs it.
void setCommandWords(const std::vector<std::string>& words);
void setProgramPath(const std::string& windowsPath);
void setWindowsVersion(uint32_t major, uint32_t minor, uint32_t build, uint32_t platform);
// GetSystemDirectoryW fails with `error` (0 lifts the fault), which a clean machine never
// does; the spooler and the other programs still find Windows. Not saved with the machine.
void failSystemDirectory(uint32_t error);
// Windows shows another language (a LANGID) and has no US English message texts:
// FormatMessageW for 1033 fails with ERROR_RESOURCE_LANG_NOT_FOUND, while 0 and the user and
// system defaults find that language's text, which winsim words as the English one. 0x0409
// (the default) is the US English machine. Not saved with the machine.
void setDisplayLanguage(uint32_t languageId);
// The module handle of the installer's image, as the loader hands it to wWinMain.
void* programInstance();

uint64_t clockMs();
void setClockMs(uint64_t ms);
// Code takes time to run: after each GetTickCount the clock moves on by ms, so two reads
// around a call that returns at once can differ, as a 15.6 ms tick makes them on Windows.
// 0 (the default) keeps the clock still between waits. Not saved with the machine.
void passTimeBetweenTickReads(uint32_t ms);

// What the program left open: a test's teardown asserts both are 0.
size_t openHandleCount();
size_t liveMemoryBlocks();
// The process runs out of memory: after `granted` more blocks, the next `refused`
// GlobalAlloc and LocalAlloc calls fail with ERROR_NOT_ENOUGH_MEMORY.
void failAllocations(size_t granted, size_t refused);

} // namespace winsim::control

namespace winsim::control {

// A Windows machine with the product's files beside the program, as the product's setup
// unpacks them: the monitor, driver and UI DLLs (build 2060), the help file and the tray
// companion.
void demoMachine(const std::string& hostDir);
// What the machine holds that the installer touches, one fact a line, for people to read.
std::string describeMachine();

} // namespace winsim::control
