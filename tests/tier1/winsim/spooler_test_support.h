// Shared set-up of the spooler conformance tests: a fresh machine, the poisoned last error,
// staged driver files, and guards that close printer handles on every way out.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace spooler_test {

constexpr DWORD kPoison = 0xDEADBEEF;
constexpr const char* kMonitor = "Folioscope:";
constexpr const char* kMonitorDll = "orvmon64.dll";
constexpr const char* kDriver = "Folioscope printer";
constexpr const char* kSystem32 = "C:\\Windows\\system32\\";
constexpr const char* kDriverDir = "C:\\Windows\\system32\\spool\\DRIVERS\\x64";

// Set-up records with the product's defaults (aggregates would need every field).
inline winsim::control::PrinterSetup printerSetup(const std::string& name, const std::string& port,
                                                  const std::string& driver,
                                                  const std::string& comment = "",
                                                  const std::string& location = "") {
    winsim::control::PrinterSetup setup;
    setup.name = name;
    setup.port = port;
    setup.driver = driver;
    setup.comment = comment;
    setup.location = location;
    return setup;
}

// The product driver as an earlier install left it in x64\3.
inline winsim::control::DriverSetup productDriver(const std::string& help = "",
                                                  const std::string& version = "3.0.0.2060") {
    winsim::control::DriverSetup setup;
    setup.name = kDriver;
    setup.driverFile = "orvdrv64.dll";
    setup.configFile = "orvui64.dll";
    setup.helpFile = help;
    setup.version = version;
    setup.manufacturer = "Orvanta Software Kft.";
    setup.provider = "Orvanta Software Kft.";
    return setup;
}

inline void poison() {
    SetLastError(kPoison);
}

// A printer handle closed when the test step ends.
struct PrinterGuard {
    HANDLE handle = nullptr;
    PrinterGuard() = default;
    explicit PrinterGuard(HANDLE h) : handle(h) {}
    ~PrinterGuard() {
        if (handle) {
            ClosePrinter(handle);
        }
    }
    PrinterGuard(const PrinterGuard&) = delete;
    PrinterGuard& operator=(const PrinterGuard&) = delete;
};

// A PRINTER_INFO_2W as the installer fills it for AddPrinterW, owning its strings.
struct PrinterInfo {
    W name;
    W port;
    W driver;
    W processor{"WinPrint"};
    W comment{""};
    PRINTER_INFO_2W info{};

    PrinterInfo(const std::string& printer, const std::string& portName,
                const std::string& driverName)
        : name(printer), port(portName), driver(driverName) {
        info.pPrinterName = name;
        info.pPortName = port;
        info.pDriverName = driver;
        info.pPrintProcessor = processor;
        info.pComment = comment;
    }
    LPBYTE bytes() { return reinterpret_cast<LPBYTE>(&info); }
};

// A DRIVER_INFO_6W for AddPrinterDriverExW with files staged in the driver directory.
struct DriverInfo {
    W name;
    W environment{"Windows x64"};
    W driverPath;
    W configPath;
    W helpPath;
    W maker{"Orvanta Software Kft."};
    W url{"https://orvanta.example/"};
    DRIVER_INFO_6W info{};

    DriverInfo(const std::string& driverName, const std::string& help)
        : name(driverName), driverPath(std::string(kDriverDir) + "\\orvdrv64.dll"),
          configPath(std::string(kDriverDir) + "\\orvui64.dll"),
          helpPath(help.empty() ? std::string() : std::string(kDriverDir) + "\\" + help) {
        info.cVersion = 3;
        info.pName = name;
        info.pEnvironment = environment;
        info.pDriverPath = driverPath;
        info.pDataFile = driverPath;
        info.pConfigFile = configPath;
        info.pHelpFile = helpPath;
        info.pszMfgName = maker;
        info.pszOEMUrl = url;
        info.pszProvider = maker;
    }
    LPBYTE bytes() { return reinterpret_cast<LPBYTE>(&info); }
};

class SpoolerTest : public MachineTest {
  protected:
    static std::string system32(const std::string& file) { return kSystem32 + file; }
    static std::string versionDir(const std::string& file) {
        return std::string(kDriverDir) + "\\3\\" + file;
    }

    // The product's monitor DLL in the system directory, a port monitor by its exports.
    static void writeMonitorDll(const std::string& file = kMonitorDll) {
        winsim::control::VersionedPeOptions options;
        options.exports = {"InitializePrintMonitor2"};
        ASSERT_TRUE(winsim::control::writeVersionedPe(system32(file), 3, 0, 0, 2060, options));
    }

    // The three driver files staged where AddPrinterDriverExW copies them from.
    static void stageDriverFiles(bool withHelp = true) {
        const std::string dir = std::string(kDriverDir) + "\\";
        ASSERT_TRUE(winsim::control::writeVersionedPe(dir + "orvdrv64.dll", 3, 0, 0, 2060));
        ASSERT_TRUE(winsim::control::writeVersionedPe(dir + "orvui64.dll", 3, 0, 0, 2060));
        if (withHelp) {
            ASSERT_TRUE(winsim::control::writeUnversionedPe(
                dir + "orvhelp.chm", winsim::control::UnversionedPe::noResources));
        }
    }

    static BOOL addMonitor(const std::string& name, const std::string& dll,
                           const std::string& environment = "Windows x64") {
        W n(name), e(environment), d(dll);
        MONITOR_INFO_2W info{n, e, d};
        return AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    }

    static BOOL deleteMonitor(const std::string& name) {
        W n(name);
        return DeleteMonitorW(nullptr, nullptr, n);
    }

    static BOOL installDriver() {
        DriverInfo driver(kDriver, "orvhelp.chm");
        return AddPrinterDriverExW(nullptr, 6, driver.bytes(), APD_COPY_ALL_FILES);
    }

    static BOOL deleteDriver(const std::string& name = kDriver) {
        W n(name), e("Windows x64");
        return DeletePrinterDriverExW(nullptr, e, n, DPD_DELETE_ALL_FILES, 0);
    }

    static HANDLE addPrinter(const std::string& name, const std::string& port,
                             const std::string& driver = kDriver) {
        PrinterInfo printer(name, port, driver);
        return AddPrinterW(nullptr, 2, printer.bytes());
    }

    static HANDLE openPrinter(const std::string& name, ACCESS_MASK access) {
        W n(name);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
        HANDLE h = nullptr;
        return OpenPrinterW(n, &h, &defaults) ? h : nullptr;
    }

    static BOOL deletePrinterByName(const std::string& name) {
        PrinterGuard printer(openPrinter(name, PRINTER_ALL_ACCESS));
        return printer.handle && DeletePrinter(printer.handle);
    }

    // DeleteFileW as the installer calls it: the result and the error it leaves.
    static DWORD deleteError(const std::string& path) {
        W p(path);
        SetLastError(0);
        return DeleteFileW(p) ? 0 : GetLastError();
    }

    // Overwriting in place, as the installer's copy does.
    static DWORD writeError(const std::string& path) {
        W p(path);
        SetLastError(0);
        HANDLE h =
            CreateFileW(p, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return GetLastError();
        }
        CloseHandle(h);
        return 0;
    }

    static void setSpoolerRunning(bool running) {
        winsim::control::setServiceRunning("Spooler", running);
    }
};

// The strings of an answer point inside the caller's buffer.
inline bool inside(const void* p, const std::vector<BYTE>& buffer) {
    const BYTE* b = static_cast<const BYTE*>(p);
    return b >= buffer.data() && b < buffer.data() + buffer.size();
}

} // namespace spooler_test
