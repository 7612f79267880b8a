// The user's connections to printers that other computers share. Windows keeps them per
// user, one key ",,server,printer" under HKCU\Printers\Connections, and caches for each
// what the server last told of the shared printer. The simulated machine has no network,
// so that cache is all it ever knows of a connected printer.
#include <winspool.h>

#include "machine.h"
#include "spooler_registry.h"
#include "winsim/control/spooler.h"

namespace winsim::spool {

namespace {

const char kConnections[] = "Printers\\Connections";
// An inference: Windows caches a connected printer under the client-side rendering provider, keyed
// by a GUID that the connection's key names; winsim keys it by server and printer, laid
// out as a local printer's key.
const char kCachedServers[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\"
                              "Client Side Rendering Print Provider\\Servers\\";

std::string cachePath(const std::string& server, const std::string& printer) {
    return kCachedServers + server + "\\Printers\\" + printer;
}

} // namespace

// What the server reports of its own printer, seen from the client: not local here, but
// on the network.
std::vector<PrinterRecord> connectedPrinters() {
    std::vector<PrinterRecord> printers;
    RegKey* connections = machine().registry.find(Hive::CurrentUser, kConnections);
    for (RegKey* connection : connections ? children(*connections) : std::vector<RegKey*>()) {
        const std::string& key = connection->name; // no comma in either name
        const size_t comma = key.find(',', 2);
        if (key.rfind(",,", 0) != 0 || comma == std::string::npos) {
            continue; // not a connection's key
        }
        const std::string server = key.substr(2, comma - 2);
        const std::string printer = key.substr(comma + 1);
        RegKey* cached = machine().registry.find(Hive::LocalMachine, cachePath(server, printer));
        PrinterRecord record = cached ? readPrinter(*cached) : PrinterRecord();
        record.server = "\\\\" + server;
        record.name = record.server + "\\" + printer;
        record.attributes =
            (record.attributes & ~DWORD{PRINTER_ATTRIBUTE_LOCAL}) | PRINTER_ATTRIBUTE_NETWORK;
        printers.push_back(record);
    }
    return printers;
}

} // namespace winsim::spool

namespace winsim::control {

void addPrinterConnection(const std::string& server, const std::string& printer,
                          const std::string& driver, const std::string& port) {
    using namespace winsim::spool;
    const std::string key = std::string(kConnections) + "\\,," + server + "," + printer;
    RegKey& connection = *machine().registry.create(Hive::CurrentUser, key);
    Registry::setString(connection, "Server", "\\\\" + server);
    Registry::setString(connection, "Provider", "win32spl.dll");
    PrinterRecord shared;
    shared.name = printer;
    shared.shareName = printer;
    shared.driver = driver;
    shared.port = port;
    shared.printProcessor = "winprint";
    shared.datatype = "RAW";
    shared.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_SHARED;
    writePrinter(*machine().registry.create(Hive::LocalMachine, cachePath(server, printer)),
                 shared);
}

} // namespace winsim::control
