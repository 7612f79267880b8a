#include "registry_model.h"

#include <algorithm>
#include <cstring>

#include "winsim/text.h"

namespace winsim {

namespace {

// Windows tolerates repeated and trailing separators inside a relative path.
std::vector<std::string> pathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

std::u16string utf16Chars(const std::vector<uint8_t>& data) {
    std::u16string chars(data.size() / 2, u'\0');
    for (size_t i = 0; i < chars.size(); ++i) {
        chars[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return chars;
}

std::vector<uint8_t> utf16Bytes(const std::u16string& chars) {
    std::vector<uint8_t> data;
    data.reserve(chars.size() * 2);
    for (char16_t c : chars) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
    }
    return data;
}

unsigned char upper(char c) {
    return static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

} // namespace

bool RegistryOrder::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return upper(x) < upper(y); });
}

RegKey& Registry::root(Hive hive) {
    return hive == Hive::LocalMachine ? localMachine_ : currentUser_;
}

RegKey* Registry::find(Hive hive, const std::string& path) {
    RegKey* key = &root(hive);
    for (const std::string& part : pathParts(path)) {
        auto it = key->subkeys.find(foldCase(part));
        if (it == key->subkeys.end()) {
            return nullptr;
        }
        key = it->second.get();
    }
    return key;
}

RegKey* Registry::create(Hive hive, const std::string& path) {
    RegKey* key = &root(hive);
    for (const std::string& part : pathParts(path)) {
        std::unique_ptr<RegKey>& child = key->subkeys[foldCase(part)];
        if (!child) {
            child = std::make_unique<RegKey>();
            child->name = part;
        }
        key = child.get();
    }
    return key;
}

bool Registry::removeTree(Hive hive, const std::string& path) {
    std::vector<std::string> parts = pathParts(path);
    if (parts.empty()) {
        return false;
    }
    RegKey* key = &root(hive);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto it = key->subkeys.find(foldCase(parts[i]));
        if (it == key->subkeys.end()) {
            return false;
        }
        key = it->second.get();
    }
    return key->subkeys.erase(foldCase(parts.back())) == 1;
}

void Registry::setValue(RegKey& key, const std::string& name, DWORD type, const void* data,
                        size_t size) {
    RegValue& value = key.values[foldCase(name)];
    if (value.name.empty()) {
        value.name = name;
    }
    value.type = type;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    value.data.assign(bytes, bytes + (bytes ? size : 0));
}

const RegValue* Registry::value(const RegKey& key, const std::string& name) {
    auto it = key.values.find(foldCase(name));
    return it == key.values.end() ? nullptr : &it->second;
}

bool Registry::removeValue(RegKey& key, const std::string& name) {
    return key.values.erase(foldCase(name)) == 1;
}

void Registry::setString(RegKey& key, const std::string& name, const std::string& utf8) {
    std::vector<uint8_t> data = utf16Bytes(toUtf16(utf8) + u'\0');
    setValue(key, name, REG_SZ, data.data(), data.size());
}

std::string Registry::getString(const RegKey& key, const std::string& name) {
    const RegValue* v = value(key, name);
    if (!v || !isStringType(v->type)) {
        return std::string();
    }
    std::u16string chars = utf16Chars(v->data);
    return toUtf8(chars.substr(0, chars.find(u'\0')));
}

void Registry::setMultiString(RegKey& key, const std::string& name,
                              const std::vector<std::string>& strings) {
    std::u16string chars;
    for (const std::string& s : strings) {
        chars += toUtf16(s) + u'\0';
    }
    chars += u'\0';
    std::vector<uint8_t> data = utf16Bytes(chars);
    setValue(key, name, REG_MULTI_SZ, data.data(), data.size());
}

// Every string before the list's final terminator counts, empty ones included:
// PendingFileRenameOperations uses an empty target to mean "delete".
std::vector<std::string> Registry::getMultiString(const RegKey& key, const std::string& name) {
    std::vector<std::string> strings;
    const RegValue* v = value(key, name);
    if (!v) {
        return strings;
    }
    std::u16string chars = utf16Chars(v->data);
    size_t n = chars.size();
    if (n > 0 && chars[n - 1] == u'\0' && (n == 1 || chars[n - 2] == u'\0')) {
        chars.pop_back();
    }
    size_t start = 0;
    while (start < chars.size()) {
        size_t end = chars.find(u'\0', start);
        if (end == std::u16string::npos) {
            end = chars.size();
        }
        strings.push_back(toUtf8(chars.substr(start, end - start)));
        start = end + 1;
    }
    return strings;
}

void Registry::setDword(RegKey& key, const std::string& name, DWORD v) {
    setValue(key, name, REG_DWORD, &v, sizeof v);
}

DWORD Registry::getDword(const RegKey& key, const std::string& name, DWORD fallback) {
    const RegValue* v = value(key, name);
    if (!v || v->type != REG_DWORD || v->data.size() != sizeof(DWORD)) {
        return fallback;
    }
    DWORD result = 0;
    std::memcpy(&result, v->data.data(), sizeof result);
    return result;
}

HKEY Registry::addHandle(const RegHandle& handle) {
    uintptr_t value = nextHandle_;
    nextHandle_ += 4;
    handles_[value] = handle;
    return reinterpret_cast<HKEY>(value);
}

const RegHandle* Registry::handle(HKEY key) const {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(key));
    return it == handles_.end() ? nullptr : &it->second;
}

bool Registry::closeHandle(HKEY key) {
    return handles_.erase(reinterpret_cast<uintptr_t>(key)) == 1;
}

void Registry::reset() {
    localMachine_.values.clear();
    localMachine_.subkeys.clear();
    currentUser_.values.clear();
    currentUser_.subkeys.clear();
    handles_.clear();
}

const char* hiveName(Hive hive) {
    return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool splitRootedPath(const std::string& rooted, Hive& hive, std::string& path) {
    for (Hive h : {Hive::LocalMachine, Hive::CurrentUser}) {
        std::string rootName = hiveName(h);
        std::string head = rooted.substr(0, rootName.size());
        bool rest = rooted.size() == rootName.size() || rooted[rootName.size()] == '\\';
        if (sameNameIgnoringCase(head, rootName) && rest) {
            hive = h;
            path = rooted.size() > rootName.size() ? rooted.substr(rootName.size() + 1) : "";
            return true;
        }
    }
    return false;
}

} // namespace winsim
