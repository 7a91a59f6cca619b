// The main dialog's resource: the template the operator's screen is laid out from, and the
// list of slave addresses.
#include "app/KorvaneRes.h"
#include "app/resource.h"
#include "protocol/Slaves.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogResource, TemplateHoldsTheTenControlsAndTheAddressList) {
    const DLGRESOURCE* dialog = FindDialogResource(&g_korvaneModule, IDD_KORVANE_DIALOG);
    ASSERT_EQ(dialog, &g_dlgKorvane);
    EXPECT_STREQ(dialog->caption, L"Korvane");
    EXPECT_EQ(dialog->cx, 244);
    EXPECT_EQ(dialog->cy, 115);
    EXPECT_STREQ(dialog->fontName, L"System");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->style, 0x90C800C0u);
    EXPECT_EQ(dialog->exStyle, 0x80040000u);
    struct Expected {
        WORD id;
        const wchar_t* cls;
        const wchar_t* text;
        short x, y, cx, cy;
        DWORD style;
    };
    const Expected expected[] = {
        {1005, L"STATIC", L"Filename", 12, 35, 113, 11, 0x50020000},
        {1000, L"EDIT", L"", 12, 46, 110, 15, 0x50810080},
        {1001, L"BUTTON", L"Flash!", 159, 13, 69, 48, 0x50010000},
        {1002, L"msctls_progress32", L"Progress1", 21, 75, 200, 16, 0x50800000},
        {1004, L"BUTTON", L"...", 124, 46, 21, 15, 0x50010000},
        {1006, L"COMBOBOX", L"", 113, 13, 33, 57, 0x50210102},
        {1007, L"STATIC", L"Slave Address", 60, 13, 48, 12, 0x50020000},
        {1008, L"EDIT", L"", 7, 104, 230, 12, 0x50810880},
        {1009, L"BUTTON", L"OD", 12, 13, 42, 9, 0x50000009},
        {1010, L"BUTTON", L"Stepper", 12, 22, 42, 9, 0x50000009},
    };
    ASSERT_EQ(dialog->itemCount, 10u);
    for (UINT i = 0; i < 10; ++i) {
        const DLGITEMRESOURCE& item = dialog->items[i];
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_STREQ(item.className, expected[i].cls);
        EXPECT_STREQ(item.text, expected[i].text);
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
        EXPECT_EQ(item.style, expected[i].style) << item.id;
    }
    // One text for each Stepper slave the dialog gives an address to.
    ASSERT_EQ(dialog->initCount, UINT(STEPPER_SLAVE_COUNT));
    const wchar_t* addresses[] = {L"0x14", L"0x15", L"0x18", L"0x1C", L"0x1D"};
    for (UINT i = 0; i < dialog->initCount; ++i) {
        EXPECT_EQ(dialog->init[i].controlId, IDC_SLAVE_ADDRESS);
        EXPECT_EQ(dialog->init[i].message, static_cast<UINT>(CB_ADDSTRING));
        EXPECT_STREQ(dialog->init[i].text, addresses[i]);
    }
}

} // namespace
