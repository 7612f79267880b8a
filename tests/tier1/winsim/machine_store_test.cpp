// Fresh machines and the machine directory: what is saved comes back byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include <windows.h>

#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

using winsim::Hive;
using winsim::Registry;
using winsim::RegKey;

class MachineStore : public MachineTest {
  protected:
    Registry& registry() { return winsim::machine().registry; }
};

// The whole tree as text: each key's name, then its values' names, types and bytes.
std::string dump(const RegKey& key) {
    std::string out = "[" + key.name + "]\n";
    for (const auto& entry : key.values) {
        out += entry.second.name + " " + std::to_string(entry.second.type) + ":";
        for (uint8_t byte : entry.second.data) {
            out += " " + std::to_string(byte);
        }
        out += "\n";
    }
    for (const auto& entry : key.subkeys) {
        out += dump(*entry.second);
    }
    return out;
}

void fillOddValues(Registry& registry) {
    RegKey* session =
        registry.create(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    Registry::setMultiString(*session, "PendingFileRenameOperations",
                             {"\\??\\C:\\Windows\\system32\\orvmon64.dll", "",
                              "\\??\\C:\\tmp\\new.dll", "!\\??\\C:\\Windows\\system32\\x.dll"});
    RegKey* odd =
        registry.create(Hive::CurrentUser, "Software\\Odd %41 Names\\Caf\xC3\xA9\\tab\there");
    const uint8_t noTerminator[] = {'a', 0, 'b', 0, 'c', 0};
    const uint8_t embeddedNul[] = {'a', 0, 0, 0, 'b', 0, 0, 0};
    const uint8_t oddSize[] = {'a', 0, 'b'};
    const uint8_t loneSurrogate[] = {0x00, 0xD8, 0, 0};
    const uint8_t expand[] = {'%', 0, 'x', 0, '%', 0, 0, 0};
    const uint8_t qword[] = {1, 2, 3, 4, 5, 6, 7, 8};
    Registry::setValue(*odd, "no terminator", REG_SZ, noTerminator, sizeof noTerminator);
    Registry::setValue(*odd, "embedded nul", REG_SZ, embeddedNul, sizeof embeddedNul);
    Registry::setValue(*odd, "odd size", REG_SZ, oddSize, sizeof oddSize);
    Registry::setValue(*odd, "lone surrogate", REG_SZ, loneSurrogate, sizeof loneSurrogate);
    Registry::setValue(*odd, "expand", REG_EXPAND_SZ, expand, sizeof expand);
    Registry::setValue(*odd, "qword", REG_QWORD, qword, sizeof qword);
    Registry::setValue(*odd, "empty binary", REG_BINARY, nullptr, 0);
    Registry::setValue(*odd, "empty sz", REG_SZ, nullptr, 0);
    Registry::setString(*odd, "", "default \"quoted\" \\ back\\slash\nnew line 100%");
    Registry::setString(*odd, "Name \"with\" = and \\ and\r\n", "Caf\xC3\xA9 \xE4\xB8\xAD");
    Registry::setDword(*odd, "@", 0xCAFEF00D);
    Registry::setString(*odd, "pair", "printer \xF0\x9F\x96\xA8");
    std::vector<uint8_t> big(100);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 7);
    }
    Registry::setValue(*odd, "big", REG_BINARY, big.data(), big.size());
    Registry::setValue(*odd, "short dword", REG_DWORD, big.data(), 3);
}

// Other tests' loops over fresh machines show the models forgotten; the last error no
// model holds.
TEST_F(MachineStore, FreshMachineClearsTheLastError) {
    SetLastError(5);
    winsim::control::freshMachine(dir());
    EXPECT_EQ(0u, GetLastError());
}

TEST_F(MachineStore, SaveThenLoadGivesBackEveryKeyValueAndSetting) {
    fillOddValues(registry());
    winsim::control::setClockMs(123456789012ULL);
    winsim::control::setProgramPath("C:\\Setup 100%\\folioinst.exe");
    winsim::control::setCommandLine("\"C:\\Setup 100%\\folioinst.exe\" install\n\"x\\\"");
    winsim::control::setWindowsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
    winsim::control::setAdministrator(false);

    const std::string before =
        dump(registry().root(Hive::LocalMachine)) + dump(registry().root(Hive::CurrentUser));
    reload();
    EXPECT_EQ(before,
              dump(registry().root(Hive::LocalMachine)) + dump(registry().root(Hive::CurrentUser)));
    const winsim::MachineSettings& s = winsim::machine().settings;
    EXPECT_EQ(123456789012ULL, winsim::control::clockMs());
    EXPECT_EQ("C:\\Setup 100%\\folioinst.exe", s.programPath);
    EXPECT_EQ("\"C:\\Setup 100%\\folioinst.exe\" install\n\"x\\\"", s.commandLine);
    EXPECT_EQ((std::vector<uint32_t>{10, 0, 19045, VER_PLATFORM_WIN32_NT}),
              (std::vector<uint32_t>{s.osMajor, s.osMinor, s.osBuild, s.osPlatform}));
    EXPECT_FALSE(s.administrator);
    EXPECT_EQ(dir(), winsim::machine().hostDir);
}

TEST_F(MachineStore, HiveFileIsReadableText) {
    RegKey* run =
        registry().find(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    Registry::setString(*run, "FolioscopeTray", "C:\\Program Files\\Folioscope\\foltray.exe");
    Registry::setDword(*run, "Count", 42);
    ASSERT_TRUE(winsim::control::saveMachine(dir()));
    std::ifstream in(dir() + "/registry/HKLM.reg");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(
        std::string::npos,
        text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                  "\"Count\"=dword:0000002a\n"
                  "\"FolioscopeTray\"=\"C:\\\\Program Files\\\\Folioscope\\\\foltray.exe\"\n"))
        << text;
}

// A damage anywhere fails the whole load: the hives are rewritten as given, the models'
// files get the damage appended.
TEST_F(MachineStore, DamagedOrMissingMachineDoesNotLoad) {
    EXPECT_FALSE(winsim::control::machineExists(dir()));
    EXPECT_FALSE(winsim::control::loadMachine(dir()));
    const std::pair<const char*, const char*> damages[] = {
        {"registry/HKLM.reg", "\"value before any key\"=dword:00000001\n"},
        {"registry/HKLM.reg", "[HKEY_CURRENT_USER\\Software]\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v\"=hex:1,2\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v\"=dword:123\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v=\"x\"\n"},
        {"services.txt", "[Spooler]\nneverStops=2\n"},
        {"services.txt", "[Spooler]\nstate=HALF_RUNNING\n"},
        {"services.txt", "[Spooler]\nstartDelayMs=-5\n"},
        {"services.txt", "[Spooler]\ncolour=blue\n"},
        {"spooler.txt", "fault\t99\t1\t5\n"},
        {"programs.txt", "[window]\nhwnd=x\n"},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.second);
        ASSERT_TRUE(winsim::control::saveMachine(dir()));
        EXPECT_TRUE(winsim::control::machineExists(dir()));
        const bool hive = std::string(damage.first).find(".reg") != std::string::npos;
        std::ofstream(dir() + "/" + damage.first, hive ? std::ios::trunc : std::ios::app)
            << damage.second;
        EXPECT_FALSE(winsim::control::loadMachine(dir()));
    }
    ASSERT_TRUE(winsim::control::saveMachine(dir()));
    std::filesystem::remove(dir() + "/registry/HKCU.reg");
    EXPECT_FALSE(winsim::control::loadMachine(dir()));
}

} // namespace
