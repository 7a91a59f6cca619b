// The main dialog: its texts and state at start-up, the slave-address list, the radio buttons,
// "...", the keyboard, and the application object that runs it.
#include "FlashRig.h"

#include "app/Korvane.h"
#include "app/KorvaneRes.h"
#include "protocol/Slaves.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace flashtest {
namespace {

TEST(KorvaneDialog, StartUpState) {
    FlashRig rig({}, false); // no port: the dialog opens all the same
    rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        EXPECT_EQ(s.GetDialog()->GetCaption(), L"Korvane");
        EXPECT_TRUE(s.GetDialog()->IsCentered());
        EXPECT_EQ(s.GetText(IDC_FILENAME), L"\\Nand Store\\MCU\\Application.hex");
        for (const auto& [id, text] :
             std::vector<std::pair<WORD, std::wstring>>{{IDC_FILENAME_LABEL, L"Filename"},
                                                        {IDC_SLAVE_ADDRESS_LABEL, L"Slave Address"},
                                                        {IDC_FLASH, L"Flash!"},
                                                        {IDC_BROWSE, L"..."},
                                                        {IDC_OD, L"OD"},
                                                        {IDC_STEPPER, L"Stepper"}})
            EXPECT_EQ(s.GetText(id), text) << id;
        // Every Stepper slave the update can reach, written as the operator types it, in the
        // order of its address.
        std::vector<std::wstring> texts;
        for (BYTE address : STEPPER_SLAVE_ADDRESSES) {
            wchar_t text[8];
            swprintf(text, 8, L"0x%02X", address);
            texts.push_back(text);
        }
        EXPECT_EQ(s.GetItems(IDC_SLAVE_ADDRESS), texts);
        EXPECT_EQ(s.GetCurSel(IDC_SLAVE_ADDRESS), 0);
        EXPECT_EQ(s.GetText(IDC_SLAVE_ADDRESS), L"0x14");
        EXPECT_EQ(dlg.m_cbSlaveAddress.GetItemData(dlg.m_cbSlaveAddress.GetCurSel()), 20u);
        EXPECT_EQ(s.GetText(IDC_STATUS), L"");
        // Stepper starts checked, matching the Stepper address the list shows selected.
        EXPECT_TRUE(s.IsChecked(IDC_STEPPER));
        EXPECT_FALSE(s.IsChecked(IDC_OD));
        EXPECT_EQ(dlg.m_bOdMode, 0);
        EXPECT_EQ(dlg.m_pProtocol, nullptr);
    });
    // Nothing was shown to the operator but the dialog.
    EXPECT_TRUE(rig.ui.GetMessageBoxes().empty());
}

// Each entry's item data is the address its own text shows: a text sorted to another place
// than its address, or an address paired with the wrong text, flashes the wrong slave.
TEST(KorvaneDialog, ItemDataAreTheAddressesTheTextsShow) {
    FlashRig rig({}, false);
    rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        const std::vector<std::wstring> texts = s.GetItems(IDC_SLAVE_ADDRESS);
        ASSERT_EQ(texts.size(), size_t(STEPPER_SLAVE_COUNT));
        for (int i = 0; i < STEPPER_SLAVE_COUNT; ++i) {
            ASSERT_TRUE(s.Select(IDC_SLAVE_ADDRESS, i));
            const std::wstring text = s.GetText(IDC_SLAVE_ADDRESS);
            ASSERT_EQ(text.substr(0, 2), L"0x");
            size_t parsed = 0;
            const unsigned long shown = std::stoul(text, &parsed, 16);
            EXPECT_EQ(parsed, text.size()) << "entry " << i;
            EXPECT_EQ(dlg.m_cbSlaveAddress.GetItemData(dlg.m_cbSlaveAddress.GetCurSel()), shown)
                << "entry " << i;
        }
        ASSERT_TRUE(s.Type(IDC_SLAVE_ADDRESS, L"0x1C"));
        EXPECT_EQ(dlg.m_cbSlaveAddress.GetItemData(dlg.m_cbSlaveAddress.GetCurSel()), 28u);
    });
}

TEST(KorvaneDialog, RadioButtonsSetTheModeAndExcludeEachOther) {
    FlashRig rig({}, false);
    rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        s.Click(IDC_OD);
        EXPECT_EQ(dlg.m_bOdMode, 1);
        EXPECT_TRUE(s.IsChecked(IDC_OD));
        EXPECT_FALSE(s.IsChecked(IDC_STEPPER));
        s.Click(IDC_STEPPER);
        EXPECT_EQ(dlg.m_bOdMode, 0);
        EXPECT_FALSE(s.IsChecked(IDC_OD));
        s.Click(IDC_OD);
        EXPECT_EQ(dlg.m_bOdMode, 1);
        EXPECT_EQ(s.GetText(IDC_STATUS), L""); // the handlers touch nothing else
    });
}

TEST(KorvaneDialog, BrowseOkReplacesTheFieldAndRefreshesTheStatus) {
    FlashRig rig({}, false);
    rig.ui.QueueFileAnswer(TRUE, L"/images/new.hex");
    rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, L"typed by hand");
        dlg.m_strStatus = L"kept";
        s.Click(IDC_BROWSE);
        EXPECT_EQ(s.GetText(IDC_FILENAME), L"/images/new.hex");
        EXPECT_EQ(s.GetText(IDC_STATUS), L"kept");
    });
    ASSERT_EQ(rig.ui.GetFileRequests().size(), 1u);
    const UI_FILE_REQUEST request = rig.ui.GetFileRequests()[0];
    EXPECT_TRUE(request.bOpen);
    EXPECT_EQ(request.defExt, L".out");
    EXPECT_EQ(request.fileName, L"");
    EXPECT_EQ(request.flags, 0u);
}

// Cancel leaves the operator's path where it was, typed text included.
TEST(KorvaneDialog, BrowseCancelLeavesTheField) {
    FlashRig rig({}, false);
    rig.ui.QueueFileAnswer(FALSE, L"");
    rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        s.Type(IDC_FILENAME, L"/images/mine.hex");
        dlg.m_strStatus = L"not shown";
        s.Click(IDC_BROWSE);
        EXPECT_EQ(s.GetText(IDC_FILENAME), L"/images/mine.hex");
        EXPECT_EQ(s.GetText(IDC_STATUS), L"");
        EXPECT_EQ(dlg.m_strFileName, L"\\Nand Store\\MCU\\Application.hex");
    });
}

// The keyboard reaches every control that takes input, radio buttons included, in template
// order; Space/Enter, Up/Down and Esc act on the control with the focus.
TEST(KorvaneDialog, KeyboardWalksTheControlsInTemplateOrder) {
    FlashRig rig({}, false);
    const INT_PTR result = rig.Run([](CKorvaneDlg& dlg, CScriptedBackEnd& s) {
        std::vector<WORD> order;
        for (int i = 0; i < 7; ++i) {
            order.push_back(s.GetFocusId());
            s.Key(UI_KEY_TAB);
        }
        EXPECT_EQ(order, (std::vector<WORD>{IDC_FILENAME, IDC_FLASH, IDC_BROWSE, IDC_SLAVE_ADDRESS,
                                            IDC_STATUS, IDC_OD, IDC_STEPPER}));
        EXPECT_EQ(s.GetFocusId(), IDC_FILENAME); // round again
        s.Key(UI_KEY_BACKTAB);
        s.Key(UI_KEY_BACKTAB);
        EXPECT_TRUE(s.Key(UI_KEY_ACTIVATE)); // "OD"
        EXPECT_EQ(dlg.m_bOdMode, 1);
        EXPECT_TRUE(s.IsChecked(IDC_OD));
        s.Key(UI_KEY_BACKTAB);
        s.Key(UI_KEY_BACKTAB);
        EXPECT_EQ(s.GetFocusId(), IDC_SLAVE_ADDRESS);
        EXPECT_TRUE(s.Key(UI_KEY_DOWN));
        EXPECT_TRUE(s.Key(UI_KEY_DOWN));
        EXPECT_EQ(s.GetText(IDC_SLAVE_ADDRESS), L"0x18");
        EXPECT_TRUE(s.Key(UI_KEY_UP));
        EXPECT_EQ(dlg.m_cbSlaveAddress.GetItemData(dlg.m_cbSlaveAddress.GetCurSel()), 21u);
        EXPECT_FALSE(s.Key(UI_KEY_ACTIVATE)); // a combo box is not pressed
        s.Key(UI_KEY_ESCAPE);
    });
    EXPECT_EQ(result, IDCANCEL);
}

// The application shows the dialog, returns FALSE when it closes, and AfxWinMain then ends.
TEST(KorvaneApp, InitInstanceRunsTheDialogAndEnds) {
    FlashRig rig({}, false);
    bool shown = false;
    rig.ui.OnNextDialog([&](CScriptedBackEnd& s) {
        shown = true;
        EXPECT_EQ(s.GetDialog(), static_cast<const CUiDialog*>(theApp.m_pMainWnd->m_hWnd));
        s.Command(IDOK); // the caption's OK button
    });
    EXPECT_EQ(AfxWinMain(&g_korvaneModule, nullptr, nullptr, SW_SHOW), 0);
    EXPECT_TRUE(shown);
    EXPECT_EQ(AfxGetResourceHandle(), &g_korvaneModule);
}

} // namespace
} // namespace flashtest
