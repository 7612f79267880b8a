// How the simulated programs answer what reaches them. A posted message is only queued: the
// program carries out its answer when the virtual clock gets there, so every call that looks
// at the machine afterwards (or waits on it) sees the answer exactly then.
#include "machine.h"
#include "programs_model.h"

namespace winsim {

namespace {

const UINT kCompanionQuit = WM_USER + 2;

} // namespace

void Programs::deliver(const Window& window, UINT message, WPARAM wParam) {
    auto it = programs_.find(window.pid);
    if (it == programs_.end() || !it->second.running) {
        return;
    }
    Program& program = it->second;
    ++program.received[message];
    const uint64_t now = machine().clockMs;
    const uint64_t delay = program.behaviour.answerAfterMs;
    if (delay == control::kNever) {
        return;
    }
    // The low four bits of a WM_SYSCOMMAND code are the system's own.
    const bool closeRequest = message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE;
    if (program.behaviour.kind == ProgramKind::trayCompanion && message == kCompanionQuit &&
        !isPending(program.pid, Reaction::quit, 0)) {
        schedule(now + delay, {program.pid, Reaction::quit, 0});
    } else if (program.behaviour.kind == ProgramKind::helpViewer && closeRequest &&
               !isPending(program.pid, Reaction::closeWindow, window.hwnd)) {
        schedule(now + delay, {program.pid, Reaction::closeWindow, window.hwnd});
    }
    onClock(now);
}

void Programs::schedule(uint64_t at, const Pending& reaction) {
    pending_.emplace(at, reaction);
}

bool Programs::isPending(DWORD pid, Reaction what, uintptr_t hwnd) const {
    for (const auto& entry : pending_) {
        if (entry.second.pid == pid && entry.second.what == what && entry.second.hwnd == hwnd) {
            return true;
        }
    }
    return false;
}

void Programs::onClock(uint64_t now) {
    while (!pending_.empty() && pending_.begin()->first <= now) {
        const uint64_t at = pending_.begin()->first;
        const Pending reaction = pending_.begin()->second;
        pending_.erase(pending_.begin());
        react(reaction, at);
    }
}

std::optional<uint64_t> Programs::nextReaction() const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    return pending_.begin()->first;
}

// The help viewer ends with its last window; the companion closes its window first and
// ends when it lets go of its mutex.
void Programs::react(const Pending& reaction, uint64_t at) {
    Program& program = programs_.at(reaction.pid);
    const ProgramBehaviour& behaviour = program.behaviour;
    switch (reaction.what) {
    case Reaction::openWindows:
        openWindows(program);
        break;
    case Reaction::closeWindow:
        closeWindow(reaction.hwnd);
        if (!hasWindows(program.pid)) {
            end(program, at, false);
        }
        break;
    case Reaction::quit:
        if (behaviour.mutexKeptMs == 0) {
            end(program, at, false);
            break;
        }
        closeWindows(program.pid);
        if (behaviour.mutexKeptMs != control::kNever) {
            schedule(at + behaviour.mutexKeptMs, {program.pid, Reaction::end, 0});
        }
        break;
    case Reaction::end:
        end(program, at, false);
        break;
    }
}

} // namespace winsim
