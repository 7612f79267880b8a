#include "dialog_template.h"

#include "winsim/text.h"

namespace {

constexpr uint32_t kSetFont = 0x40; // DS_SETFONT (DS_SHELLFONT includes it)

// Sequential reads over the template; once a read fails every later one fails too.
struct Cursor {
    winsim::pe::ByteView bytes;
    size_t at = 0;
    bool ok = true;

    uint16_t u16() {
        uint16_t value = 0;
        ok = ok && bytes.u16(at, &value);
        at += 2;
        return value;
    }
    uint32_t u32() {
        uint32_t value = 0;
        ok = ok && bytes.u32(at, &value);
        at += 4;
        return value;
    }
    uint8_t u8() {
        ok = ok && bytes.holds(at, 1);
        return ok ? bytes.data[at++] : 0;
    }
    int16_t coordinate() { return static_cast<int16_t>(u16()); }
    std::string text() {
        std::u16string wide;
        for (uint16_t c = u16(); ok && c != 0; c = u16()) {
            wide.push_back(c);
        }
        return winsim::toUtf8(wide);
    }
    NameOrOrdinal nameOrOrdinal() {
        NameOrOrdinal value;
        uint16_t first = 0;
        ok = ok && bytes.u16(at, &first);
        if (first == 0xFFFF) {
            at += 2;
            value.isOrdinal = true;
            value.ordinal = u16();
        } else {
            value.text = text();
        }
        return value;
    }
    void alignToDword() { at = (at + 3) & ~size_t{3}; }
};

DialogItem readItem(Cursor& in) {
    DialogItem item;
    in.alignToDword();
    item.helpId = in.u32();
    item.exStyle = in.u32();
    item.style = in.u32();
    item.x = in.coordinate();
    item.y = in.coordinate();
    item.cx = in.coordinate();
    item.cy = in.coordinate();
    item.id = in.u32();
    item.windowClass = in.nameOrOrdinal();
    item.title = in.nameOrOrdinal();
    item.extraCount = in.u16();
    in.at += item.extraCount;
    return item;
}

} // namespace

bool decodeDialogTemplate(winsim::pe::ByteView bytes, DialogTemplate* dialog) {
    Cursor in{bytes};
    dialog->version = in.u16();
    dialog->signature = in.u16();
    if (!in.ok || dialog->version != 1 || dialog->signature != 0xFFFF) {
        return false;
    }
    dialog->helpId = in.u32();
    dialog->exStyle = in.u32();
    dialog->style = in.u32();
    dialog->itemCount = in.u16();
    dialog->x = in.coordinate();
    dialog->y = in.coordinate();
    dialog->cx = in.coordinate();
    dialog->cy = in.coordinate();
    dialog->menu = in.nameOrOrdinal();
    dialog->windowClass = in.nameOrOrdinal();
    dialog->title = in.text();
    if (dialog->style & kSetFont) {
        dialog->pointSize = in.u16();
        dialog->weight = in.u16();
        dialog->italic = in.u8();
        dialog->charset = in.u8();
        dialog->typeface = in.text();
    }
    for (uint16_t i = 0; in.ok && i < dialog->itemCount; ++i) {
        dialog->items.push_back(readItem(in));
    }
    return in.ok;
}
