// The battery against winsim: a fresh machine in a temporary directory, set up as the
// Wine prefix is (the program at C:\conf\conformance.exe, the stub DLLs in C:\conf\bin),
// then the same cases. Usage: conformance_native DLL-DIRECTORY
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "battery.h"
#include "winsim/control.h"

namespace fs = std::filesystem;
namespace control = winsim::control;

// The copies of the battery's executable act the parts battery.h gives them.
static void mapOtherPrograms() {
    control::ProgramBehaviour tray = control::trayCompanion();
    tray.mutexName = tray.windowClass = CONF_TRAY_NAME;
    tray.windowTitles = {CONF_TRAY_TITLE};
    control::mapImage(CONF_TRAY, tray);
    tray.mutexName = tray.windowClass = CONF_QUITTER_NAME;
    tray.windowTitles = {CONF_QUITTER_NAME};
    tray.releasesMutex = false;
    control::mapImage(CONF_QUITTER, tray);
    control::ProgramBehaviour viewer = control::helpViewer({CONF_HELP_TITLE, CONF_OTHER_TITLE});
    viewer.windowClass = CONF_VIEWER_CLASS;
    control::mapImage(CONF_VIEWER, viewer);
}

void conformance::personCloses(HWND, HWND, Close how) {
    control::setDialogClose(how == Close::button   ? control::DialogClose::CloseButton
                            : how == Close::escape ? control::DialogClose::Escape
                                                   : control::DialogClose::CloseBox);
}

int main(int argc, char** argv) {
    std::string dir = (fs::temp_directory_path() / "conformance-XXXXXX").string();
    if (argc != 2 || !mkdtemp(&dir[0])) {
        std::fprintf(stderr, "usage: %s DLL-DIRECTORY (with a temporary directory)\n", argv[0]);
        return 2;
    }
    control::freshMachine(dir);
    control::setProgramPath("C:\\conf\\conformance.exe");
    control::setCommandLine("\"C:\\conf\\conformance.exe\""); // as Wine starts it
    control::writeUnversionedPe("C:\\conf\\conformance.exe", control::UnversionedPe::noResources);
    control::makeDirectory("C:\\conf\\bin");
    control::makeDirectory("C:\\conf\\dir.exe");
    mapOtherPrograms();
    for (const char* dll : {"confmon.dll", "confui.dll", "confdrv.dll", "confnover.dll"}) {
        std::ifstream in(fs::path(argv[1]) / dll, std::ios::binary);
        // Without the Windows build the battery still runs (its DLL cases then answer for
        // missing files): the sanitizer build runs it so, for winsim's memory safety.
        if (!in || !control::writeFile(std::string("C:\\conf\\bin\\") + dll,
                                       {std::istreambuf_iterator<char>(in), {}})) {
            std::fprintf(stderr, "no %s in %s\n", dll, argv[1]);
        }
    }
    int result = conformance::runBattery();
    fs::remove_all(dir);
    return result;
}
