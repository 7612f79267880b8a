#include "system_test.h"

#include "log/wide_text.h"
#include "winsim/control.h"

void SystemTest::SetUp() {
    MachineTest::SetUp();
    context_.emplace();
    release(context_->logText);
    context_->errorCount = 0;
    startMs_ = winsim::control::clockMs();
}

void SystemTest::TearDown() {
    context_.reset();
    MachineTest::TearDown();
}

std::string SystemTest::log() {
    return u8(textOf(context_->logText));
}

uint64_t SystemTest::elapsedMs() const {
    return winsim::control::clockMs() - startMs_;
}
