// A fresh machine and one install context on it whose set-up lines are cleared, so a test
// sees only what the operation under test wrote.
#pragma once

#include "support/machine_test.h"

#include <optional>
#include <string>

#include "app/install_context.h"
#include "log/wide_text.h"
#include "winsim/control.h"

class SystemTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        context_.emplace();
        release(context_->logText);
        context_->errorCount = 0;
        startMs_ = winsim::control::clockMs();
    }
    void TearDown() override {
        context_.reset();
        MachineTest::TearDown();
    }

    InstallContext& context() { return *context_; }
    // The log written since set-up, as UTF-8.
    std::string log() { return u8(textOf(context_->logText)); }
    // Virtual milliseconds since set-up ended.
    uint64_t elapsedMs() const { return winsim::control::clockMs() - startMs_; }

  private:
    std::optional<InstallContext> context_;
    uint64_t startMs_ = 0;
};
