// The other programs in a saved machine: what one run leaves running, the next run meets.
#include <cstdio>
#include <fstream>
#include <sstream>

#include <windows.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;

const char kTray[] = "C:\\Program Files\\Folioscope\\foltray.exe";

std::string programsFile(const std::string& dir) {
    std::ifstream in(dir + "/programs.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ProgramsStore : public MachineTest {};

// Saved, loaded and saved again, the file is the same. What the installer had open does not
// survive it; a quit message the companion has not carried out yet still is carried out.
TEST_F(ProgramsStore, ProgramsWindowsMutexesAndPendingAnswersSurviveSaveAndLoad) {
    control::writeVersionedPe(kTray, 3, 0, 0, 2060);
    control::ProgramBehaviour holder = control::mutexHolder("Global\\Run", 9000, false);
    holder.imageHeldAfterEndMs = control::kNever;
    control::mapImage("C:\\Setup\\folioinst.exe", holder);
    control::startProgram("C:\\Windows\\hh.exe", control::helpViewer({"Folioscope Help", "b=%"}));
    STARTUPINFOW startup{};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info{};
    W line("\"" + std::string(kTray) + "\" 100%");
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    control::startProgram("C:\\Setup\\folioinst.exe", control::mutexHolder("Global\\Run"));
    HANDLE solo = CreateMutexA(nullptr, TRUE, "Solo");
    PostMessageW(FindWindowW(W("fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}"), nullptr),
                 WM_USER + 2, 0, 0);
    Sleep(100);
    const std::string described = control::describePrograms();

    reload();
    ASSERT_TRUE(control::saveMachine(dir() + "/again"));
    EXPECT_EQ(programsFile(dir()), programsFile(dir() + "/again"));
    EXPECT_EQ(described.substr(0, described.find("mutex    Solo")), control::describePrograms());
    EXPECT_NE(std::string::npos, described.find("window   0x10044 HH Parent \"b=%\"\n"));

    Sleep(199);
    EXPECT_TRUE(control::programs()[1].running);
    Sleep(1);
    EXPECT_FALSE(control::programs()[1].running);
    control::startProgram("C:\\Setup\\folioinst.exe", holder);
    EXPECT_FALSE(control::programs().back().running) << "the first holder still owns the mutex";
    control::reboot();
    EXPECT_TRUE(control::programs().empty());
    EXPECT_TRUE(control::mutexes().empty());
    EXPECT_EQ(0u, control::openHandleCount());
    std::remove((dir() + "/programs.txt").c_str());
    EXPECT_TRUE(control::loadMachine(dir())) << "a machine saved before programs were simulated";
    (void)solo;
}

} // namespace
