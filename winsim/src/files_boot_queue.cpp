#include "files_boot_queue.h"

#include <cstring>

#include "machine.h"

namespace winsim {

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

std::u16string charactersOf(const RegValue& value) {
    std::u16string chars(value.data.size() / sizeof(char16_t), u'\0');
    std::memcpy(&chars[0], value.data.data(), chars.size() * sizeof(char16_t));
    return chars;
}

} // namespace

// Layout: each string with its NUL, then the NUL that ends the list. The list's last NUL is
// dropped before appending and written again after, so two deletions read
// "\??\C:\a\0\0\??\C:\b\0\0\0".
void queueBootOperation(const BootOperation& operation) {
    RegKey* key = machine().registry.create(Hive::LocalMachine, kSessionManager);
    std::u16string chars;
    if (const RegValue* old = Registry::value(*key, kPendingValue)) {
        chars = charactersOf(*old);
        if (!chars.empty() && chars.back() == u'\0') {
            chars.pop_back();
        }
    }
    chars += operation.first;
    chars += u'\0';
    chars += operation.second;
    chars += u'\0';
    chars += u'\0';
    Registry::setValue(*key, kPendingValue, REG_MULTI_SZ, chars.data(),
                       chars.size() * sizeof(char16_t));
}

// Reads pairs until the data ends or a pair has no source (the list's terminator).
std::vector<BootOperation> queuedBootOperations() {
    std::vector<BootOperation> operations;
    RegKey* key = machine().registry.find(Hive::LocalMachine, kSessionManager);
    const RegValue* value = key ? Registry::value(*key, kPendingValue) : nullptr;
    if (!value) {
        return operations;
    }
    std::vector<std::u16string> strings(1);
    for (char16_t c : charactersOf(*value)) {
        if (c == u'\0') {
            strings.emplace_back();
        } else {
            strings.back() += c;
        }
    }
    for (size_t i = 0; i + 1 < strings.size() && !strings[i].empty(); i += 2) {
        operations.emplace_back(strings[i], strings[i + 1]);
    }
    return operations;
}

void clearBootOperations() {
    if (RegKey* key = machine().registry.find(Hive::LocalMachine, kSessionManager)) {
        Registry::removeValue(*key, kPendingValue);
    }
}

} // namespace winsim
