// A fresh machine and one install context on it whose set-up lines are cleared, so a test
// sees only what the operation under test wrote.
#pragma once

#include "support/machine_test.h"

#include <optional>
#include <string>

#include "app/install_context.h"

class SystemTest : public MachineTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    InstallContext& context() { return *context_; }
    // The log written since set-up, as UTF-8.
    std::string log();
    // Virtual milliseconds since set-up ended.
    uint64_t elapsedMs() const;

  private:
    std::optional<InstallContext> context_;
    uint64_t startMs_ = 0;
};
