#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/resource.h"
#include "built_exe.h"

namespace {

using ExeDialog = BuiltExeTest;

// Sequential little-endian reads over an extended dialog template (DLGTEMPLATEEX and its
// DLGITEMTEMPLATEEX items); once a read runs past the end, every later one fails.
struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;

    uint32_t take(size_t size) {
        uint32_t value = 0;
        ok = ok && at + size <= bytes.size();
        for (size_t i = 0; ok && i < size; ++i) {
            value |= uint32_t{bytes[at + i]} << (8 * i);
        }
        at += size;
        return value;
    }
    std::string hex(size_t size) {
        char text[12];
        std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(take(size)));
        return text;
    }
    int number(size_t size) { return size == 2 ? int16_t(take(2)) : int(take(size)); }
    std::string text() {
        std::string out = "\"";
        for (uint32_t c = take(2); ok && c != 0; c = take(2)) {
            out += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return out + "\"";
    }
    // sz_Or_Ord: 0xFFFF and an ordinal, or a string.
    std::string nameOrOrdinal() {
        if (at + 2 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
            at += 2;
            return "#" + hex(2);
        }
        return text();
    }
};

// Every field in the order the dialog manager reads it, one line per window.
std::string decode(const std::vector<uint8_t>& bytes) {
    Reader in{bytes};
    std::ostringstream out;
    out << "dialog " << in.hex(2) << " " << in.hex(2) << " help=" << in.hex(4)
        << " ex=" << in.hex(4);
    const uint32_t style = in.take(4);
    const uint32_t items = in.take(2);
    out << " style=" << std::hex << style << std::dec << " items=" << items << " at "
        << in.number(2) << "," << in.number(2) << " " << in.number(2) << "x" << in.number(2)
        << " menu=" << in.nameOrOrdinal() << " class=" << in.nameOrOrdinal()
        << " title=" << in.text();
    if (style & 0x40) { // DS_SETFONT: the font follows
        out << " font " << in.number(2) << " " << in.number(2) << " " << in.number(1) << " "
            << in.number(1) << " " << in.text();
    }
    for (uint32_t i = 0; in.ok && i < items; ++i) {
        in.at = (in.at + 3) & ~size_t{3};
        out << "\nitem help=" << in.hex(4) << " ex=" << in.hex(4) << " style=" << in.hex(4)
            << " at " << in.number(2) << "," << in.number(2) << " " << in.number(2) << "x"
            << in.number(2) << " id=" << in.number(4) << " class=" << in.nameOrOrdinal()
            << " title=" << in.nameOrOrdinal() << " extra=" << in.number(2);
    }
    return in.ok ? out.str() : "cut short: " + out.str();
}

// The log dialog exactly as the dialog manager will build it: any bit the resource
// compiler adds on its own (a WS_TABSTOP, a WS_BORDER, a WS_CAPTION) shows up here.
TEST_F(ExeDialog, LogDialogTemplateInUsEnglish) {
    EXPECT_EQ("dialog 1 ffff help=0 ex=0 style=80c808c8 items=2 at 0,0 451x228 menu=\"\" "
              "class=\"\" title=\"\" font 8 400 0 1 \"MS Shell Dlg\"\n"
              "item help=0 ex=0 style=50010001 at 394,207 50x14 id=1 class=#80 "
              "title=\"Close\" extra=0\n"
              "item help=0 ex=0 style=50a108c4 at 7,7 437x194 id=1001 class=#81 title=\"\" "
              "extra=0",
              decode(resource(winsim::pe::kTypeDialog, IDD_LOG_DIALOG, 1033)));
}

} // namespace
