#include "message_table.h"

namespace winsim {

namespace {

struct SystemMessage {
    DWORD code;
    const char* text;
};

// Windows' own English texts (the system error code reference), not Wine's shorter ones.
// Message-table entries carry the CR LF that the message compiler puts after each text.
const SystemMessage kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {39, "The disk is full.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, "The specified module could not be found.\r\n"},
    {127, "The specified procedure could not be found.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {317, "The system cannot find message text for message number 0x%1 in the message file "
          "for %2.\r\n"},
    {1051, "A stop control has been sent to a service that other running services are "
           "dependent on.\r\n"},
    {1052, "The requested control is not valid for this service.\r\n"},
    {1053, "The service did not respond to the start or control request in a timely "
           "fashion.\r\n"},
    {1056, "An instance of the service is already running.\r\n"},
    {1058, "The service cannot be started, either because it is disabled or because it has no "
           "enabled devices associated with it.\r\n"},
    {1060, "The specified service does not exist as an installed service.\r\n"},
    {1061, "The service cannot accept control messages at this time.\r\n"},
    {1062, "The service has not been started.\r\n"},
    {1068, "The dependency service or group failed to start.\r\n"},
    {1072, "The specified service has been marked for deletion.\r\n"},
    {1075, "The dependency service does not exist or has been marked for deletion.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {1796, "The specified port is unknown.\r\n"},
    {1797, "The printer driver is unknown.\r\n"},
    {1798, "The print processor is unknown.\r\n"},
    {1801, "The printer name is invalid.\r\n"},
    {1802, "The printer already exists.\r\n"},
    {1804, "The specified data type is invalid.\r\n"},
    {1805, "The environment specified is invalid.\r\n"},
    {1812, "The specified image file did not contain a resource section.\r\n"},
    {1813, "The specified resource type cannot be found in the image file.\r\n"},
    {1814, "The specified resource name cannot be found in the image file.\r\n"},
    {1815, "The specified resource language ID cannot be found in the image file.\r\n"},
    {3000, "The specified print monitor is unknown.\r\n"},
    {3001, "The specified printer driver is currently in use.\r\n"},
    {3002, "The spool file was not found.\r\n"},
    {3003, "A StartDocPrinter call was not issued.\r\n"},
    {3004, "An AddJob call was not issued.\r\n"},
    {3005, "The specified print processor has already been installed.\r\n"},
    {3006, "The specified print monitor has already been installed.\r\n"},
    {3007, "The specified print monitor does not have the required functions.\r\n"},
    {3008, "The specified print monitor is currently in use.\r\n"},
};

// E_OUTOFMEMORY is the HRESULT form of code 14. That the system table resolves it to
// code 14's text is an inference: it is not documented and was not observed on Windows.
constexpr DWORD kOutOfMemoryHresult = 0x8007000E;

} // namespace

const char* systemMessageText(DWORD code) {
    if (code == kOutOfMemoryHresult) {
        code = ERROR_OUTOFMEMORY;
    }
    for (const SystemMessage& message : kMessages) {
        if (message.code == code) {
            return message.text;
        }
    }
    return nullptr;
}

} // namespace winsim
