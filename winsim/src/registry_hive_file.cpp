// The hives of a saved machine, one text file each, in the spirit of a .reg export:
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft]      a key (control characters and % as %XX)
//   "Name"="text"                                 REG_SZ that reads back byte for byte
//   @=dword:0000002a                              the key's default value, a REG_DWORD
//   "Data"=hex(7):41,00,00,00,00,00               anything else: type and raw bytes
// Long hex lists continue on the next line after a trailing backslash.
#include "registry_model.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "machine_store_text.h"
#include "winsim/text.h"

namespace winsim {

namespace {

const size_t kHexBytesPerLine = 24;

std::string hiveFile(const std::string& dir, Hive hive) {
    return dir + (hive == Hive::LocalMachine ? "/registry/HKLM.reg" : "/registry/HKCU.reg");
}

std::u16string dataChars(const std::vector<uint8_t>& data) {
    std::u16string chars(data.size() / 2, u'\0');
    for (size_t i = 0; i < chars.size(); ++i) {
        chars[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return chars;
}

std::vector<uint8_t> charsData(const std::u16string& chars) {
    std::vector<uint8_t> data;
    for (char16_t c : chars) {
        data.push_back(static_cast<uint8_t>(c & 0xFF));
        data.push_back(static_cast<uint8_t>(c >> 8));
    }
    return data;
}

bool hasLoneSurrogate(const std::u16string& chars) {
    for (size_t i = 0; i < chars.size(); ++i) {
        bool high = chars[i] >= 0xD800 && chars[i] < 0xDC00;
        bool low = chars[i] >= 0xDC00 && chars[i] < 0xE000;
        bool nextLow = i + 1 < chars.size() && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000;
        if (low || (high && !nextLow)) {
            return true;
        }
        i += high ? 1 : 0;
    }
    return false;
}

// A REG_SZ is written as text only when reading that text back gives the same bytes:
// one terminator at the end, none before it, nothing UTF-8 cannot carry.
bool asText(const RegValue& value, std::string& text) {
    if (value.type != REG_SZ || value.data.size() < 2 || value.data.size() % 2 != 0) {
        return false;
    }
    std::u16string chars = dataChars(value.data);
    if (chars.find(u'\0') != chars.size() - 1) {
        return false;
    }
    chars.pop_back();
    if (hasLoneSurrogate(chars)) {
        return false;
    }
    text = toUtf8(chars);
    return toUtf16(text) == chars;
}

std::string hexList(const std::vector<uint8_t>& data) {
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        if (i + 1 < data.size()) {
            out += (i + 1) % kHexBytesPerLine == 0 ? ",\\\n  " : ",";
        }
    }
    return out;
}

std::string dataText(const RegValue& value) {
    std::string text;
    if (asText(value, text)) {
        return quoteText(text);
    }
    char head[32];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        std::snprintf(head, sizeof head, "dword:%02x%02x%02x%02x", value.data[3], value.data[2],
                      value.data[1], value.data[0]);
        return head;
    }
    if (value.type == REG_BINARY) {
        return "hex:" + hexList(value.data);
    }
    std::snprintf(head, sizeof head, "hex(%x):", static_cast<unsigned>(value.type));
    return head + hexList(value.data);
}

void writeKey(std::ostream& out, const RegKey& key, const std::string& path) {
    out << "[" << path << "]\n";
    for (const auto& entry : key.values) {
        const RegValue& value = entry.second;
        out << (value.name.empty() ? "@" : quoteText(value.name)) << "=" << dataText(value) << "\n";
    }
    out << "\n";
    for (const auto& entry : key.subkeys) {
        writeKey(out, *entry.second, path + "\\" + percentEscape(entry.second->name));
    }
}

bool writeFileAtomically(const std::string& path, const std::string& content) {
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

// Physical lines joined where a line ends in a backslash; line ends may be LF or CR LF.
std::vector<std::string> logicalLines(const std::string& content) {
    std::vector<std::string> lines;
    std::istringstream in(content);
    std::string line;
    bool continues = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (continues) {
            lines.back() += line.substr(line.find_first_not_of(" \t") == std::string::npos
                                            ? line.size()
                                            : line.find_first_not_of(" \t"));
        } else {
            lines.push_back(line);
        }
        continues = !lines.back().empty() && lines.back().back() == '\\';
        if (continues) {
            lines.back().pop_back();
        }
    }
    return lines;
}

bool parseHex(const std::string& text, std::vector<uint8_t>& data) {
    data.clear();
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item.size() != 2 || !isxdigit(static_cast<unsigned char>(item[0])) ||
            !isxdigit(static_cast<unsigned char>(item[1]))) {
            return false;
        }
        data.push_back(static_cast<uint8_t>(std::stoul(item, nullptr, 16)));
    }
    return true;
}

bool parseData(const std::string& text, DWORD& type, std::vector<uint8_t>& data) {
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        std::string utf8;
        if (!unquoteText(text, pos, utf8) || pos != text.size()) {
            return false;
        }
        type = REG_SZ;
        data = charsData(toUtf16(utf8) + u'\0');
        return true;
    }
    if (text.rfind("dword:", 0) == 0 && text.size() == 14) {
        std::vector<uint8_t> bytes;
        std::string digits = text.substr(6);
        if (!parseHex(digits.substr(0, 2) + "," + digits.substr(2, 2) + "," + digits.substr(4, 2) +
                          "," + digits.substr(6, 2),
                      bytes)) {
            return false;
        }
        type = REG_DWORD;
        data.assign(bytes.rbegin(), bytes.rend());
        return true;
    }
    if (text.rfind("hex:", 0) == 0) {
        type = REG_BINARY;
        return parseHex(text.substr(4), data);
    }
    size_t close = text.find("):");
    if (text.rfind("hex(", 0) != 0 || close == std::string::npos || close == 4) {
        return false;
    }
    std::string typeDigits = text.substr(4, close - 4);
    if (typeDigits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos ||
        typeDigits.size() > 8) {
        return false;
    }
    type = static_cast<DWORD>(std::stoul(typeDigits, nullptr, 16));
    return parseHex(text.substr(close + 2), data);
}

bool parseValue(const std::string& line, RegKey& key) {
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else if (!unquoteText(line, pos, name)) {
        return false;
    }
    if (pos >= line.size() || line[pos] != '=') {
        return false;
    }
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
    if (!parseData(line.substr(pos + 1), type, data)) {
        return false;
    }
    Registry::setValue(key, name, type, data.data(), data.size());
    return true;
}

bool parseHive(Registry& registry, Hive hive, const std::string& content) {
    RegKey* current = nullptr;
    for (const std::string& line : logicalLines(content)) {
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            std::string rooted;
            std::string path;
            Hive lineHive = hive;
            if (line.back() != ']' || !percentUnescape(line.substr(1, line.size() - 2), rooted) ||
                !splitRootedPath(rooted, lineHive, path) || lineHive != hive) {
                return false;
            }
            current = registry.create(hive, path);
        } else if (!current || !parseValue(line, *current)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool Registry::save(const std::string& dir) const {
    std::error_code ec;
    std::filesystem::create_directories(dir + "/registry", ec);
    for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
        std::ostringstream out;
        out << "; winsim registry hive, UTF-8\n\n";
        writeKey(out, hive == Hive::LocalMachine ? localMachine_ : currentUser_, hiveName(hive));
        if (!writeFileAtomically(hiveFile(dir, hive), out.str())) {
            return false;
        }
    }
    return true;
}

bool Registry::load(const std::string& dir) {
    reset();
    for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
        std::ifstream in(hiveFile(dir, hive), std::ios::binary);
        if (!in) {
            return false;
        }
        std::ostringstream content;
        content << in.rdbuf();
        if (!parseHive(*this, hive, content.str())) {
            return false;
        }
    }
    return true;
}

} // namespace winsim
