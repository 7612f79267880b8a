// What only the simulated machine's knobs decide, which the conformance battery cannot show:
// Shift and the window station, the person who tries every close, what a dialog's record
// keeps, the images programs are mapped to, these knobs in a saved machine, a reboot
// carrying out the boot-time queue, a printer whose deletion waits for its jobs, and the
// user's connection to a printer another computer shares.
#include <windows.h>

#include <utility>

#include <winspool.h>

#include "files_boot_queue.h"
#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using control::DialogClose;
using Knobs = MachineTest;
using Reboot = MachineTest;
using PrinterJobs = MachineTest;

BOOL later(const char* from, const char* to, DWORD flags = 0) {
    W source(from);
    return to ? MoveFileExW(source, W(to), MOVEFILE_DELAY_UNTIL_REBOOT | flags)
              : MoveFileExW(source, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | flags);
}

bool endsDialog;
int commands;

INT_PTR CALLBACK closingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && ++commands && endsDialog) {
        EndDialog(dialog, LOWORD(wParam));
    }
    return FALSE;
}

INT_PTR showLogDialog() {
    commands = 0;
    return DialogBoxParamW(nullptr, MAKEINTRESOURCEW(101), nullptr, closingProc, 0);
}

// Shift reaches only a program on the visible station. A procedure that never ends the
// dialog is offered every other close (four commands in all), then let go with 0.
TEST_F(Knobs, ShiftTheStationAndThePersonShowInTheDialogsRecord) {
    const struct {
        bool shift, visible, ends;
        DialogClose close;
        SHORT key;
        INT_PTR result;
        int commands;
    } rows[] = {{true, true, true, DialogClose::Escape, SHORT(-0x8000), IDCANCEL, 1},
                {true, false, true, DialogClose::Escape, 0, IDCANCEL, 1},
                {false, true, false, DialogClose::CloseButton, 0, 0, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        control::setShiftHeld(row.shift);
        control::setWindowStationVisible(row.visible);
        control::setDialogClose(row.close);
        control::setClockMs(1234);
        endsDialog = row.ends;
        EXPECT_EQ(row.key, GetAsyncKeyState(VK_SHIFT));
        EXPECT_EQ(0, GetAsyncKeyState('A'));
        EXPECT_EQ(row.result, showLogDialog());
        EXPECT_EQ(row.commands, commands);
        const control::ShownDialog& shown = control::shownDialogs().back();
        EXPECT_EQ(row.visible, shown.stationVisible);
        EXPECT_EQ(row.ends ? row.close : DialogClose::None, shown.closedBy);
        EXPECT_EQ(1234u, shown.shownAtMs);
    }
}

// A behaviour mapped to the full path wins over one mapped to the file name.
TEST_F(Knobs, ImagesRunTheProgramsMappedToThem) {
    control::writeUnversionedPe("C:\\Data\\tool.exe", control::UnversionedPe::noResources);
    control::mapImage("tool.exe", control::ProgramBehaviour());
    control::mapImage("c:\\data\\TOOL.exe", control::trayCompanion());
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION info = {};
    W line("C:\\Data\\tool.exe");
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(control::ProgramKind::trayCompanion, control::programs()[0].kind);
}

// A refusal survives the saved machine; a rename of the refused file is no deletion.
TEST_F(Knobs, KnobsComeBackWithTheSavedMachine) {
    control::setDialogClose(DialogClose::Escape);
    control::setShiftHeld(true);
    control::refuseBootDeletion("C:\\Temp\\100%.dll", ERROR_SHARING_VIOLATION);
    control::refuseBootDeletion("C:\\Temp\\denied.dll");
    reload();
    endsDialog = true;
    EXPECT_EQ(IDCANCEL, showLogDialog());
    EXPECT_EQ(SHORT(-0x8000), GetAsyncKeyState(VK_SHIFT));
    const std::pair<const char*, DWORD> refused[] = {
        {"c:\\temp\\x\\..\\100%.DLL", ERROR_SHARING_VIOLATION},
        {"C:\\Temp\\denied.dll", ERROR_ACCESS_DENIED}};
    for (const auto& path : refused) {
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(later(path.first, nullptr));
        EXPECT_EQ(path.second, GetLastError());
    }
    EXPECT_TRUE(winsim::queuedBootOperations().empty());
    EXPECT_TRUE(later("C:\\Temp\\100%.dll", "C:\\Temp\\kept.dll"));
}

TEST_F(Reboot, CarriesOutTheQueueInOrderSkippingFailuresAndClearsIt) {
    control::writeFile("C:\\Windows\\system32\\port.dll", "old");
    control::writeFile("C:\\Temp\\new.dll", "new");
    control::writeFile("C:\\Temp\\gone.txt", "x");
    control::writeFile("C:\\Temp\\kept-ro.txt", "x");
    control::setReadOnly("C:\\Temp\\kept-ro.txt", true);
    control::writeFile("C:\\Temp\\taken.txt", "x");
    control::writeFile("C:\\Temp\\other.txt", "y");
    control::holdFileBySpooler("C:\\Windows\\system32\\port.dll", true);
    control::setServiceRunning("Fax", true);
    control::setServiceNeverStops("Spooler", true);
    EXPECT_TRUE(later("C:\\Windows\\system32\\port.dll", nullptr));
    EXPECT_TRUE(later("C:\\Temp\\missing.txt", nullptr));
    EXPECT_TRUE(later("C:\\Temp\\kept-ro.txt", nullptr));
    EXPECT_TRUE(
        later("C:\\Temp\\new.dll", "C:\\Windows\\system32\\port.dll", MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(later("C:\\Temp\\other.txt", "C:\\Temp\\taken.txt"));
    EXPECT_TRUE(later("C:\\Temp\\gone.txt", nullptr));

    control::reboot();

    EXPECT_EQ("new", control::readFile("C:\\Windows\\system32\\port.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\new.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\gone.txt"));
    EXPECT_TRUE(control::fileExists("C:\\Temp\\kept-ro.txt"));
    EXPECT_EQ("x", control::readFile("C:\\Temp\\taken.txt")) << "no \"!\": the target stays";
    EXPECT_TRUE(control::fileExists("C:\\Temp\\other.txt"));
    const winsim::RegKey* session = winsim::machine().registry.find(
        winsim::Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    EXPECT_EQ(nullptr, winsim::Registry::value(*session, "PendingFileRenameOperations"));
    EXPECT_TRUE(DeleteFileW(W("C:\\Windows\\system32\\port.dll"))) << "the spooler let go";
    EXPECT_EQ(uint32_t{SERVICE_RUNNING}, control::serviceState("Spooler")) << "automatic";
    EXPECT_EQ(uint32_t{SERVICE_STOPPED}, control::serviceState("Fax")) << "on demand";
}

TEST_F(Reboot, StandardUserCannotQueueWork) {
    control::setAdministrator(false);
    SetLastError(0);
    EXPECT_FALSE(later("C:\\Temp\\a", nullptr));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
}

TEST_F(PrinterJobs, DeletionWaitsForTheLastJobAndAnAddRevivesThePrinter) {
    control::DriverSetup driver;
    driver.name = "Folioscope printer";
    driver.driverFile = "orvdrv64.dll";
    driver.configFile = "orvui64.dll";
    control::registerDriver(driver);
    control::PrinterSetup office;
    office.name = "Office";
    office.driver = driver.name;
    control::addPrinter(office);
    control::setDefaultPrinter("Office");
    control::setPrinterJobs("Office", 2);
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(W("Office"), &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    EXPECT_TRUE(control::printers()[0].pendingDeletion);
    EXPECT_EQ("Office", control::defaultPrinter());
    control::setPrinterJobs("Office", 1);
    EXPECT_EQ(1u, control::printers().size());
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(control::printers().empty()) << "gone with its last job";
    EXPECT_EQ("", control::defaultPrinter()) << "the default went with it";
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(DWORD{ERROR_INVALID_PRINTER_NAME}, GetLastError()) << "the handle outlives it";
    ClosePrinter(h);

    control::addPrinter(office);
    control::setPrinterJobs("Office", 1);
    ASSERT_TRUE(OpenPrinterW(W("Office"), &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    W name("Office"), port("LPT3:"), driverName("Folioscope printer"), processor("WinPrint");
    PRINTER_INFO_2W info = {};
    info.pPrinterName = name;
    info.pPortName = port;
    info.pDriverName = driverName;
    info.pPrintProcessor = processor;
    h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(nullptr, h);
    ClosePrinter(h);
    EXPECT_FALSE(control::printers()[0].pendingDeletion);
    EXPECT_EQ("LPT3:", control::printers()[0].port);
}

// Only the connections flag lists a connection, as a network printer of its server.
TEST_F(Knobs, AConnectionIsListedOnlyWithTheConnectionsFlag) {
    control::addPrinterConnection("srv", "Shared", "Folioscope printer", "LPT1:");
    BYTE buffer[512];
    DWORD needed = 0, count = 0;
    for (DWORD flags : {PRINTER_ENUM_LOCAL, PRINTER_ENUM_CONNECTIONS}) {
        EXPECT_TRUE(EnumPrintersW(flags, nullptr, 2, buffer, sizeof buffer, &needed, &count));
        EXPECT_EQ(flags == PRINTER_ENUM_LOCAL ? 0u : 1u, count);
    }
    const PRINTER_INFO_2W& p = *reinterpret_cast<PRINTER_INFO_2W*>(buffer);
    EXPECT_EQ("\\\\srv|\\\\srv\\Shared|Shared|LPT1:|Folioscope printer",
              u8(p.pServerName) + "|" + u8(p.pPrinterName) + "|" + u8(p.pShareName) + "|" +
                  u8(p.pPortName) + "|" + u8(p.pDriverName));
    EXPECT_EQ(DWORD{PRINTER_ATTRIBUTE_NETWORK | PRINTER_ATTRIBUTE_SHARED}, p.Attributes);
}

} // namespace
