// An extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items) decoded
// from resource bytes, as the dialog manager reads it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_bytes.h"

// A "sz_Or_Ord" field: nothing, an ordinal (0xFFFF, then the number) or a string.
struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text; // UTF-8

    bool operator==(const NameOrOrdinal& other) const {
        return isOrdinal == other.isOrdinal && ordinal == other.ordinal && text == other.text;
    }
};

struct DialogItem {
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    NameOrOrdinal windowClass;
    NameOrOrdinal title;
    uint16_t extraCount = 0;
};

struct DialogTemplate {
    uint16_t version = 0;
    uint16_t signature = 0;
    uint32_t helpId = 0;
    uint32_t exStyle = 0;
    uint32_t style = 0;
    uint16_t itemCount = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal windowClass;
    std::string title;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 0;
    std::string typeface;
    std::vector<DialogItem> items;
};

// False when the bytes are not an extended template or end early.
bool decodeDialogTemplate(winsim::pe::ByteView bytes, DialogTemplate* dialog);
