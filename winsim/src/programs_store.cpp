// The other programs' part of a saved machine: programs.txt, blocks of key=value lines
// (values percent-escaped) under [image], [program], [window] and [reaction] headers; see
// winsim/README.md. The machine is saved as it is once the installer's process has ended:
// its handles are gone, and with them every mutex that no running program has open. A
// running program owns the mutex it has open (a second instance ends at once), so the
// mutexes are rebuilt from the programs.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "machine.h"
#include "machine_store_text.h"
#include "programs_model.h"

namespace winsim {

struct StoreBlock {
    std::string type;
    std::vector<std::pair<std::string, std::string>> fields;
};

namespace {

const char kFileName[] = "/programs.txt";

const char* const kKinds[] = {"inert", "tray-companion", "help-viewer", "mutex-holder"};
const char* const kReactions[] = {"open-windows", "close-window", "quit", "end"};

template <size_t N> int indexOf(const char* const (&names)[N], const std::string& name) {
    for (size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string number(uint64_t value) {
    return value == control::kNever ? "never" : std::to_string(value);
}

std::string hex(uint64_t value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

void field(std::ostream& out, const char* key, const std::string& value) {
    out << key << '=' << percentEscape(value) << '\n';
}

void writeBehaviour(std::ostream& out, const ProgramBehaviour& b) {
    field(out, "kind", kKinds[static_cast<int>(b.kind)]);
    field(out, "window_class", b.windowClass);
    for (const std::string& title : b.windowTitles) {
        field(out, "window_title", title);
    }
    field(out, "window_after_ms", number(b.windowAfterMs));
    field(out, "answer_after_ms", number(b.answerAfterMs));
    field(out, "mutex_kept_ms", number(b.mutexKeptMs));
    field(out, "mutex_name", b.mutexName);
    field(out, "end_after_ms", number(b.endAfterMs));
    field(out, "releases_mutex", b.releasesMutex ? "1" : "0");
    field(out, "image_held_after_end_ms", number(b.imageHeldAfterEndMs));
}

std::string receivedText(const std::map<UINT, unsigned>& received) {
    std::string text;
    for (const auto& entry : received) {
        text += (text.empty() ? "" : ",") + hex(entry.first) + ":" + std::to_string(entry.second);
    }
    return text;
}

void writeProgram(std::ostream& out, const Program& p) {
    out << "\n[program]\n";
    field(out, "pid", std::to_string(p.pid));
    field(out, "tid", std::to_string(p.tid));
    field(out, "running", p.running ? "1" : "0");
    field(out, "image", p.image);
    field(out, "command_line", p.commandLine);
    field(out, "startup_flags", hex(p.startupFlags));
    field(out, "show_window", std::to_string(p.showWindow));
    field(out, "received", receivedText(p.received));
    writeBehaviour(out, p.behaviour);
}

// Reads one block's fields; any field that is missing or does not parse spoils the block.
class Fields {
  public:
    explicit Fields(const StoreBlock& block) : block_(block) {}
    bool ok() const { return ok_; }

    std::vector<std::string> texts(const char* key) const {
        std::vector<std::string> found;
        for (const auto& entry : block_.fields) {
            if (entry.first == key) {
                found.push_back(entry.second);
            }
        }
        return found;
    }
    std::string text(const char* key) {
        const std::vector<std::string> found = texts(key);
        ok_ = ok_ && found.size() == 1;
        return found.empty() ? std::string() : found[0];
    }
    // Decimal, 0x-prefixed hexadecimal, or "never".
    uint64_t number(const char* key) {
        const std::string value = text(key);
        if (value == "never") {
            return control::kNever;
        }
        char* end = nullptr;
        const uint64_t parsed = std::strtoull(value.c_str(), &end, 0);
        ok_ = ok_ && !value.empty() && value[0] != '-' && *end == '\0';
        return parsed;
    }
    int choice(const char* key, const char* const (&names)[4]) {
        const int index = indexOf(names, text(key));
        ok_ = ok_ && index >= 0;
        return index < 0 ? 0 : index;
    }

  private:
    const StoreBlock& block_;
    bool ok_ = true;
};

ProgramBehaviour readBehaviour(Fields& f) {
    ProgramBehaviour b;
    b.kind = static_cast<ProgramKind>(f.choice("kind", kKinds));
    b.windowClass = f.text("window_class");
    b.windowTitles = f.texts("window_title");
    b.windowAfterMs = f.number("window_after_ms");
    b.answerAfterMs = f.number("answer_after_ms");
    b.mutexKeptMs = f.number("mutex_kept_ms");
    b.mutexName = f.text("mutex_name");
    b.endAfterMs = f.number("end_after_ms");
    b.releasesMutex = f.number("releases_mutex") != 0;
    b.imageHeldAfterEndMs = f.number("image_held_after_end_ms");
    return b;
}

bool readReceived(const std::string& text, std::map<UINT, unsigned>& received) {
    std::istringstream in(text);
    std::string entry;
    while (std::getline(in, entry, ',')) {
        char* end = nullptr;
        const UINT message = static_cast<UINT>(std::strtoul(entry.c_str(), &end, 0));
        if (*end != ':') {
            return false;
        }
        received[message] = static_cast<unsigned>(std::strtoul(end + 1, &end, 10));
        if (*end != '\0') {
            return false;
        }
    }
    return true;
}

// Fields before the first header form a block of type "".
bool readBlocks(std::istream& in, std::vector<StoreBlock>& blocks) {
    blocks.push_back(StoreBlock());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            blocks.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const size_t equals = line.find('=');
        std::string value;
        if (equals == std::string::npos || !percentUnescape(line.substr(equals + 1), value)) {
            return false;
        }
        blocks.back().fields.emplace_back(line.substr(0, equals), value);
    }
    return true;
}

} // namespace

bool Programs::save(const std::string& dir) const {
    std::ostringstream out;
    out << "; winsim: the other programs, their windows and mutexes; times in virtual ms\n";
    field(out, "next_pid", std::to_string(nextPid_));
    field(out, "next_window", hex(nextWindow_));
    for (const auto& image : images_) {
        out << "\n[image]\n";
        field(out, "key", image.first);
        writeBehaviour(out, image.second);
    }
    for (const auto& entry : programs_) {
        writeProgram(out, entry.second);
    }
    for (const Window& w : windows_) {
        out << "\n[window]\n";
        field(out, "hwnd", hex(w.hwnd));
        field(out, "pid", std::to_string(w.pid));
        field(out, "class", w.className);
        field(out, "title", w.title);
    }
    for (const auto& entry : pending_) {
        out << "\n[reaction]\n";
        field(out, "at", std::to_string(entry.first));
        field(out, "pid", std::to_string(entry.second.pid));
        field(out, "what", kReactions[static_cast<int>(entry.second.what)]);
        field(out, "hwnd", hex(entry.second.hwnd));
    }
    const std::string temp = dir + kFileName + ".tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, dir + kFileName, ec);
    return !ec;
}

// A machine saved before other programs were simulated has no file: none runs on it.
bool Programs::load(const std::string& dir) {
    reset();
    std::ifstream in(dir + kFileName, std::ios::binary);
    if (!in) {
        return true;
    }
    std::vector<StoreBlock> blocks;
    if (!readBlocks(in, blocks)) {
        return false;
    }
    images_.clear();
    bool ok = true;
    for (const StoreBlock& block : blocks) {
        ok = ok && loadBlock(block);
    }
    for (auto& entry : programs_) {
        Program& p = entry.second;
        if (p.running && !p.behaviour.mutexName.empty()) {
            ok = ok && takeMutex(p);
        }
    }
    for (const auto& entry : pending_) {
        const Program* owner = program(entry.second.pid);
        ok = ok && owner && owner->running;
    }
    return ok;
}

bool Programs::loadBlock(const StoreBlock& block) {
    Fields f(block);
    if (block.type.empty()) {
        nextPid_ = static_cast<DWORD>(f.number("next_pid"));
        nextWindow_ = f.number("next_window");
    } else if (block.type == "image") {
        const std::string key = f.text("key");
        images_.emplace_back(key, readBehaviour(f));
    } else if (block.type == "program") {
        Program p;
        p.pid = static_cast<DWORD>(f.number("pid"));
        p.tid = static_cast<DWORD>(f.number("tid"));
        p.running = f.number("running") != 0;
        p.image = f.text("image");
        p.commandLine = f.text("command_line");
        p.startupFlags = static_cast<DWORD>(f.number("startup_flags"));
        p.showWindow = static_cast<WORD>(f.number("show_window"));
        p.behaviour = readBehaviour(f);
        const bool received = readReceived(f.text("received"), p.received);
        programs_[p.pid] = p;
        return f.ok() && received;
    } else if (block.type == "window") {
        windows_.push_back({f.number("hwnd"), f.text("class"), f.text("title"),
                            static_cast<DWORD>(f.number("pid"))});
    } else if (block.type == "reaction") {
        const uint64_t at = f.number("at");
        const DWORD pid = static_cast<DWORD>(f.number("pid"));
        const Reaction what = static_cast<Reaction>(f.choice("what", kReactions));
        pending_.emplace(at, Pending{pid, what, f.number("hwnd")});
    } else {
        return false;
    }
    return f.ok();
}

} // namespace winsim
