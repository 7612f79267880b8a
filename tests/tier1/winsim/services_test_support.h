// Shared set-up of the service control manager tests: a fresh machine at clock 0 (whose
// teardown finds every SC_HANDLE left open) with the last error poisoned.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace services_test {

constexpr DWORD kPoison = 0xDEADBEEF;
constexpr DWORD kManagerAccess = 0xF0001;
constexpr DWORD kCheckAccess = 0x14;   // SERVICE_QUERY_STATUS | SERVICE_START
constexpr DWORD kRestartAccess = 0x34; // ... | SERVICE_STOP

inline void poisonLastError() {
    SetLastError(kPoison);
}

inline SERVICE_STATUS poisonedStatus() {
    SERVICE_STATUS status;
    memset(&status, 0xAB, sizeof status);
    return status;
}

inline bool untouched(const SERVICE_STATUS& status) {
    SERVICE_STATUS poisoned = poisonedStatus();
    return memcmp(&status, &poisoned, sizeof status) == 0;
}

// Closes the handle at the end of a test step, so a failing assertion leaks nothing.
struct ScHandleGuard {
    SC_HANDLE handle;
    explicit ScHandleGuard(SC_HANDLE h) : handle(h) {}
    ~ScHandleGuard() {
        if (handle) {
            CloseServiceHandle(handle);
        }
    }
    ScHandleGuard(const ScHandleGuard&) = delete;
    ScHandleGuard& operator=(const ScHandleGuard&) = delete;
    operator SC_HANDLE() const { return handle; }
};

inline SC_HANDLE openManager() {
    return OpenSCManagerW(nullptr, nullptr, kManagerAccess);
}

inline SC_HANDLE openService(SC_HANDLE manager, const char* name, DWORD access) {
    return OpenServiceW(manager, winsim::wz(winsim::toUtf16(name)), access);
}

inline DWORD queryState(SC_HANDLE service) {
    SERVICE_STATUS status = {};
    EXPECT_TRUE(QueryServiceStatus(service, &status));
    return status.dwCurrentState;
}

// The installer's stop of the spooler; the error it leaves (NO_ERROR on success).
inline DWORD stopSpooler() {
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = {};
    poisonLastError();
    return ControlService(spooler, SERVICE_CONTROL_STOP, &status) ? NO_ERROR : GetLastError();
}

class ServicesTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        poisonLastError();
    }
    void TearDown() override {
        winsim::machine().services.listen(kListener, nullptr);
        MachineTest::TearDown();
    }

    // The one listener a test may register; it is dropped at teardown.
    static constexpr const char* kListener = "services test";
};

} // namespace services_test
