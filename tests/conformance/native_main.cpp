// The battery against winsim: a fresh machine in a temporary directory, set up as the
// Wine prefix is (the program at C:\conf\conformance.exe, the stub DLLs in C:\conf\bin),
// then the same cases. Usage: conformance_native DLL-DIRECTORY
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "battery.h"
#include "winsim/control.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DLL-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::string dir = (fs::temp_directory_path() / "conformance-XXXXXX").string();
    if (!mkdtemp(&dir[0])) {
        std::perror("mkdtemp");
        return 2;
    }
    winsim::control::freshMachine(dir);
    winsim::control::setProgramPath("C:\\conf\\conformance.exe");
    // As Wine starts it: the program path quoted.
    winsim::control::setCommandLine("\"C:\\conf\\conformance.exe\"");
    winsim::control::makeDirectory("C:\\conf\\bin");
    for (const char* dll : {"confmon.dll", "confui.dll", "confdrv.dll", "confnover.dll"}) {
        std::ifstream in(fs::path(argv[1]) / dll, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        // Without the Windows build the battery still runs (its DLL cases then answer for
        // missing files): the sanitizer build runs it so, for winsim's memory safety.
        if (!in || !winsim::control::writeFile(std::string("C:\\conf\\bin\\") + dll, bytes.str())) {
            std::fprintf(stderr, "no %s in %s\n", dll, argv[1]);
        }
    }
    int result = conformance::runBattery();
    fs::remove_all(dir);
    return result;
}
