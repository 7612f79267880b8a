#include "version_block.h"

#include <algorithm>

#include "winsim/text.h"

namespace winsim {

namespace {

constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedInfoVersion = 0x00010000;
constexpr uint32_t kFlagsMask = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kTypeDll = 2;
constexpr size_t kNodeHeader = 6;

size_t alignToDword(size_t offset) {
    return (offset + 3) & ~size_t{3};
}

struct Node {
    std::u16string key;
    uint16_t type = kBinary;
    uint16_t valueLength = 0;
    std::vector<uint8_t> value;
    std::vector<Node> children;
};

void append16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void append32(std::vector<uint8_t>& out, uint32_t value) {
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}

void padToDword(std::vector<uint8_t>& out) {
    out.resize(alignToDword(out.size()));
}

// A node's wLength covers its children but not the padding after its last byte.
std::vector<uint8_t> serialize(const Node& node) {
    std::vector<uint8_t> out;
    append16(out, 0);
    append16(out, node.valueLength);
    append16(out, node.type);
    for (char16_t c : node.key) {
        append16(out, c);
    }
    append16(out, 0);
    padToDword(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) {
        padToDword(out);
        std::vector<uint8_t> bytes = serialize(child);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out[0] = static_cast<uint8_t>(out.size());
    out[1] = static_cast<uint8_t>(out.size() >> 8);
    return out;
}

Node textNode(const std::string& key, const std::string& text) {
    Node node{toUtf16(key), kText, 0, {}, {}};
    std::u16string wide = toUtf16(text);
    for (char16_t c : wide) {
        append16(node.value, c);
    }
    append16(node.value, 0);
    node.valueLength = static_cast<uint16_t>(wide.size() + 1);
    return node;
}

std::string dotted(const VersionQuad& version) {
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

std::vector<uint8_t> fixedInfo(const VersionQuad& file, const VersionQuad& product) {
    std::vector<uint8_t> out;
    append32(out, kFixedInfoSignature);
    append32(out, kFixedInfoVersion);
    append32(out, static_cast<uint32_t>(file[0]) << 16 | file[1]);
    append32(out, static_cast<uint32_t>(file[2]) << 16 | file[3]);
    append32(out, static_cast<uint32_t>(product[0]) << 16 | product[1]);
    append32(out, static_cast<uint32_t>(product[2]) << 16 | product[3]);
    append32(out, kFlagsMask);
    append32(out, 0);
    append32(out, kOsNtWindows32);
    append32(out, kTypeDll);
    for (int i = 0; i < 3; ++i) {
        append32(out, 0); // subtype, date
    }
    return out;
}

struct NodeView {
    size_t start = 0;
    size_t end = 0; // start + wLength
    uint16_t valueLength = 0;
    std::u16string key;
    size_t value = 0;
    size_t children = 0;
};

bool readNode(pe::ByteView block, size_t start, NodeView* node) {
    uint16_t length = 0;
    uint16_t type = 0;
    if (!block.u16(start, &length) || !block.u16(start + 2, &node->valueLength) ||
        !block.u16(start + 4, &type) || length < kNodeHeader || !block.holds(start, length)) {
        return false;
    }
    node->start = start;
    node->end = start + length;
    node->key.clear();
    size_t at = start + kNodeHeader;
    for (uint16_t c = 0; at + 2 <= node->end && block.u16(at, &c) && c != 0; at += 2) {
        node->key.push_back(c);
    }
    node->value = alignToDword(at + 2);
    size_t valueBytes = type == kText ? size_t{node->valueLength} * 2 : node->valueLength;
    node->children = alignToDword(node->value + valueBytes);
    return true;
}

bool findChild(pe::ByteView block, const NodeView& parent, const std::string& key,
               NodeView* child) {
    for (size_t at = parent.children; at < parent.end; at = alignToDword(child->end)) {
        if (!readNode(block, at, child) || child->end > parent.end) {
            return false;
        }
        if (sameNameIgnoringCase(toUtf8(child->key), key)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<uint8_t> buildVersionBlock(const VersionQuad& fileVersion,
                                       const VersionQuad& productVersion) {
    Node table{u"040904b0", kText, 0, {}, {}};
    table.children = {textNode("FileVersion", dotted(fileVersion)),
                      textNode("ProductVersion", dotted(productVersion))};
    Node strings{u"StringFileInfo", kText, 0, {}, {table}};
    Node translation{u"Translation", kBinary, 4, {}, {}};
    append16(translation.value, 0x0409);
    append16(translation.value, 0x04b0);
    Node variables{u"VarFileInfo", kText, 0, {}, {translation}};
    Node root{u"VS_VERSION_INFO",
              kBinary,
              52,
              fixedInfo(fileVersion, productVersion),
              {strings, variables}};
    return serialize(root);
}

bool findVersionValue(pe::ByteView block, const std::u16string& path, VersionValue* value) {
    NodeView node;
    if (!readNode(block, 0, &node)) {
        return false;
    }
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = std::min(path.find(u'\\', begin), path.size());
        if (end > begin) {
            NodeView child;
            if (!findChild(block, node, toUtf8(path.substr(begin, end - begin)), &child)) {
                return false;
            }
            node = child;
        }
        begin = end + 1;
    }
    value->offset = node.value;
    value->length = node.valueLength;
    return true;
}

} // namespace winsim
