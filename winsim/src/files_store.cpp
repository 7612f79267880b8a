// The part of the file system the host cannot keep, saved beside drive_c/ as files.txt:
// one tab-separated record a line.
//   attribute <hex bits> <path>
//   hold <owner> <hex access> <hex share> <0|1 image> <until ms, 0 = forever> <path>
//   failing-open-cost <ms>
//   disk-free <bytes>
//   read-fault <after bytes> <error> <path>
#include <fstream>
#include <sstream>

#include "files_model.h"
#include "files_paths.h"

namespace winsim {

namespace {

const char kStateFile[] = "/files.txt";

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

uint64_t number(const std::string& text, int base = 10) {
    return std::stoull(text, nullptr, base);
}

} // namespace

bool FileSystem::save(const std::string& dir) const {
    std::ofstream out(dir + kStateFile);
    out << std::hex;
    for (const auto& entry : attributes_) {
        out << "attribute\t" << entry.second.second << '\t' << entry.second.first << '\n';
    }
    for (const FileHold& hold : holds_) {
        out << "hold\t" << hold.owner << '\t' << hold.use.access << '\t' << hold.use.share << '\t'
            << std::dec << hold.image << '\t' << hold.untilMs << std::hex << '\t' << hold.path
            << '\n';
    }
    out << std::dec;
    if (failingOpenCostMs) {
        out << "failing-open-cost\t" << failingOpenCostMs << '\n';
    }
    if (diskLimited) {
        out << "disk-free\t" << diskFreeBytes << '\n';
    }
    for (const auto& entry : readFaults) {
        out << "read-fault\t" << entry.second.afterBytes << '\t' << entry.second.error << '\t'
            << entry.first << '\n';
    }
    return static_cast<bool>(out);
}

bool FileSystem::load(const std::string& dir) {
    closeAll();
    holds_.clear();
    attributes_.clear();
    deletePending_.clear();
    readFaults.clear();
    failingOpenCostMs = 0;
    diskLimited = false;
    std::ifstream in(dir + kStateFile);
    std::string line;
    try {
        while (std::getline(in, line)) {
            const std::vector<std::string> f = splitTabs(line);
            if (f.size() == 3 && f[0] == "attribute") {
                setExtraAttributes(f[2], static_cast<DWORD>(number(f[1], 16)));
            } else if (f.size() == 7 && f[0] == "hold") {
                FileHold hold{
                    f[6],
                    parseWindowsPath(f[6]).key,
                    f[1],
                    {static_cast<DWORD>(number(f[2], 16)), static_cast<DWORD>(number(f[3], 16))},
                    f[4] == "1",
                    number(f[5])};
                holds_.push_back(hold);
            } else if (f.size() == 2 && f[0] == "failing-open-cost") {
                failingOpenCostMs = number(f[1]);
            } else if (f.size() == 2 && f[0] == "disk-free") {
                diskLimited = true;
                diskFreeBytes = number(f[1]);
            } else if (f.size() == 4 && f[0] == "read-fault") {
                readFaults[parseWindowsPath(f[3]).key] = {number(f[1]),
                                                          static_cast<DWORD>(number(f[2]))};
            } else if (!line.empty()) {
                return false;
            }
        }
    } catch (const std::exception&) {
        return false; // a number that does not parse: the file was not written by save()
    }
    return true;
}

} // namespace winsim
