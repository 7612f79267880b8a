#include <gtest/gtest.h>

#include <vector>

#include "app/resource.h"
#include "built_exe.h"
#include "dialog_template.h"

namespace {

using ExeDialog = BuiltExeTest;

constexpr int kEnglishUs = 1033;
constexpr uint16_t kButtonClass = 0x0080;
constexpr uint16_t kEditClass = 0x0081;

NameOrOrdinal none() {
    return NameOrOrdinal();
}
NameOrOrdinal ordinal(uint16_t value) {
    return NameOrOrdinal{true, value, ""};
}
NameOrOrdinal text(const char* value) {
    return NameOrOrdinal{false, 0, value};
}

void expectItem(const DialogItem& expected, const DialogItem& actual) {
    EXPECT_EQ(expected.helpId, actual.helpId);
    EXPECT_EQ(expected.exStyle, actual.exStyle);
    EXPECT_EQ(expected.style, actual.style);
    EXPECT_EQ(expected.x, actual.x);
    EXPECT_EQ(expected.y, actual.y);
    EXPECT_EQ(expected.cx, actual.cx);
    EXPECT_EQ(expected.cy, actual.cy);
    EXPECT_EQ(expected.id, actual.id);
    EXPECT_TRUE(expected.windowClass == actual.windowClass);
    EXPECT_TRUE(expected.title == actual.title) << actual.title.text;
    EXPECT_EQ(expected.extraCount, actual.extraCount);
}

// The log dialog exactly as the dialog manager will build it: any bit the resource
// compiler adds on its own (a WS_TABSTOP, a WS_BORDER, a WS_CAPTION) shows up here.
TEST_F(ExeDialog, LogDialogTemplateInUsEnglish) {
    std::vector<uint8_t> bytes = resource(winsim::pe::kTypeDialog, IDD_LOG_DIALOG, kEnglishUs);
    DialogTemplate dialog;
    ASSERT_TRUE(decodeDialogTemplate(winsim::pe::ByteView(bytes), &dialog));
    EXPECT_EQ(0u, dialog.helpId);
    EXPECT_EQ(0x80C808C8u, dialog.style);
    EXPECT_EQ(0u, dialog.exStyle);
    EXPECT_EQ(2, dialog.itemCount);
    EXPECT_EQ(0, dialog.x);
    EXPECT_EQ(0, dialog.y);
    EXPECT_EQ(451, dialog.cx);
    EXPECT_EQ(228, dialog.cy);
    EXPECT_TRUE(dialog.menu == none());
    EXPECT_TRUE(dialog.windowClass == none());
    EXPECT_EQ("", dialog.title);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(400, dialog.weight);
    EXPECT_EQ(0, dialog.italic);
    EXPECT_EQ(1, dialog.charset);
    EXPECT_EQ("MS Shell Dlg", dialog.typeface);

    ASSERT_EQ(2u, dialog.items.size());
    {
        SCOPED_TRACE("Close button");
        expectItem({0, 0, 0x50010001, 394, 207, 50, 14, 1, ordinal(kButtonClass), text("Close"), 0},
                   dialog.items[0]);
    }
    {
        SCOPED_TRACE("log text");
        expectItem(
            {0, 0, 0x50A108C4, 7, 7, 437, 194, IDC_LOG_TEXT, ordinal(kEditClass), text(""), 0},
            dialog.items[1]);
    }
}

} // namespace
