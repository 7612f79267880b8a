// The battery as a Windows console program, for Wine (or Windows): it acts on the machine
// it runs on, which must hold C:\conf\bin with the stub DLLs and run it as
// C:\conf\conformance.exe.
#include "battery.h"

int main() {
    return conformance::runBattery();
}
