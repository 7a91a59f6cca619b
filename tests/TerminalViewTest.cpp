// The terminal back end's parts that need no screen: template 102 in cells, and the keys and
// clicks that work the dialog (focus, editing, the combo box, Esc, the caption's buttons).
#include "app/KorvaneRes.h"
#include "app/resource.h"
#include "platform/ui/ScriptedBackEnd.h"
#include "platform/ui/TerminalDialogView.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct CommandLog : IUiCommandSink {
    std::vector<std::pair<WORD, WORD>> commands;
    void OnUiCommand(WORD nID, WORD nCode) override { commands.push_back({nID, nCode}); }
};

// Template 102 shown as the program shows it: the combo box filled, "0x14" selected, the
// default path in the file field.
class KorvaneView : public ::testing::Test {
protected:
    KorvaneView() : dialog(g_dlgKorvane, sink, backEnd) {
        CUiControl& combo = *dialog.FindControl(IDC_SLAVE_ADDRESS);
        for (UINT i = 0; i < g_dlgKorvane.initCount; ++i)
            combo.AddString(g_dlgKorvane.init[i].text);
        combo.SetCurSel(0);
        dialog.FindControl(IDC_FILENAME)->SetText(L"\\Nand Store\\MCU\\Application.hex");
        view = std::make_unique<CTerminalDialogView>(dialog);
    }

    WORD FocusId() const { return view->GetFocus() ? view->GetFocus()->GetId() : 0; }
    void Keys(std::initializer_list<TERM_KEY> keys) {
        for (const TERM_KEY& key : keys)
            view->HandleKey(key);
    }
    void Type(const std::wstring& text) {
        for (wchar_t c : text)
            view->HandleKey(TermKey(TK_CHAR, c));
    }
    // The client-area cell of a control's first cell.
    TERM_RECT Cells(WORD nID) const {
        return TermControlRect(g_dlgKorvane, dialog.FindControl(nID)->GetResource());
    }

    CScriptedBackEnd backEnd;
    CommandLog sink;
    CUiDialog dialog;
    std::unique_ptr<CTerminalDialogView> view;
};

} // namespace

// Every control where its dialog units put it: a quarter column, an eighth of a row.
TEST(TerminalLayout, Template102InCells) {
    struct Case {
        WORD id;
        TERM_RECT cells;
    };
    const Case cases[] = {
        {IDC_FILENAME_LABEL, {3, 4, 29, 1}},
        {IDC_FILENAME, {3, 5, 28, 1}},
        {IDC_FLASH, {39, 1, 18, 6}},
        {IDC_PROGRESS, {5, 9, 50, 2}},
        {IDC_BROWSE, {31, 5, 6, 1}},
        {IDC_SLAVE_ADDRESS, {28, 1, 9, 1}},
        {IDC_SLAVE_ADDRESS_LABEL, {15, 1, 12, 1}},
        {IDC_STATUS, {1, 13, 58, 1}},
        {IDC_OD, {3, 1, 11, 1}},
        {IDC_STEPPER, {3, 2, 11, 1}},
    };
    ASSERT_EQ(g_dlgKorvane.itemCount, sizeof cases / sizeof cases[0]);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const DLGITEMRESOURCE* item = nullptr;
        for (UINT i = 0; i < g_dlgKorvane.itemCount; ++i)
            if (g_dlgKorvane.items[i].id == c.id)
                item = &g_dlgKorvane.items[i];
        ASSERT_NE(item, nullptr);
        const TERM_RECT at = TermControlRect(g_dlgKorvane, *item);
        EXPECT_EQ(at.col, c.cells.col);
        EXPECT_EQ(at.row, c.cells.row);
        EXPECT_EQ(at.cols, c.cells.cols);
        EXPECT_EQ(at.rows, c.cells.rows);
    }
    // 244 x 115 dialog units: 61 columns, 15 rows, and the frame round them.
    EXPECT_EQ(TermFrameCols(g_dlgKorvane), 63);
    EXPECT_EQ(TermFrameRows(g_dlgKorvane), 17);
}

TEST(TerminalLayout, PlacesTheDialogOrRefuses) {
    TERM_RECT frame{};
    ASSERT_TRUE(TermPlaceDialog(g_dlgKorvane, true, 80, 24, &frame));
    EXPECT_EQ(frame.col, 8);
    EXPECT_EQ(frame.row, 3);
    ASSERT_TRUE(TermPlaceDialog(g_dlgKorvane, true, 63, 17, &frame));
    EXPECT_EQ(frame.col, 0);
    EXPECT_FALSE(TermPlaceDialog(g_dlgKorvane, true, 62, 40, &frame));
    EXPECT_FALSE(TermPlaceDialog(g_dlgKorvane, true, 200, 16, &frame));
}

TEST_F(KorvaneView, TabAndShiftTabFollowTemplateOrder) {
    const std::vector<WORD> order = {IDC_FILENAME, IDC_FLASH, IDC_BROWSE, IDC_SLAVE_ADDRESS,
                                     IDC_STATUS,   IDC_OD,    IDC_STEPPER};
    for (size_t i = 0; i < order.size() * 2; ++i) {
        EXPECT_EQ(FocusId(), order[i % order.size()]) << i;
        Keys({TermKey(TK_TAB)});
    }
    for (size_t i = order.size() * 2; i > 0; --i) {
        EXPECT_EQ(FocusId(), order[i % order.size()]) << i;
        Keys({TermKey(TK_BACKTAB)});
    }
}

TEST_F(KorvaneView, SpaceAndEnterPressButtonsAndRadioButtons) {
    Keys({TermKey(TK_TAB), TermKey(TK_ENTER), TermKey(TK_TAB), TermKey(TK_CHAR, L' ')});
    Keys({TermKey(TK_TAB), TermKey(TK_TAB), TermKey(TK_TAB), TermKey(TK_CHAR, L' ')});
    const std::vector<std::pair<WORD, WORD>> expected = {
        {IDC_FLASH, BN_CLICKED}, {IDC_BROWSE, BN_CLICKED}, {IDC_OD, BN_CLICKED}};
    EXPECT_EQ(sink.commands, expected);
    EXPECT_TRUE(dialog.FindControl(IDC_OD)->GetCheck());
    Keys({TermKey(TK_TAB), TermKey(TK_ENTER)});
    EXPECT_TRUE(dialog.FindControl(IDC_STEPPER)->GetCheck());
    EXPECT_FALSE(dialog.FindControl(IDC_OD)->GetCheck());
}

TEST_F(KorvaneView, EditingKeysInTheFileField) {
    CUiControl& field = *dialog.FindControl(IDC_FILENAME);
    struct Case {
        const char* what;
        std::vector<TERM_KEY> keys;
        const wchar_t* text;
        size_t caret;
    };
    const Case cases[] = {
        {"Ctrl+U empties up to the caret", {TermKey(TK_KILL_START)}, L"", 0},
        {"typing goes in at the caret", {TermKey(TK_CHAR, L'a'), TermKey(TK_CHAR, L'b')}, L"ab", 2},
        {"Left, then a letter", {TermKey(TK_LEFT), TermKey(TK_CHAR, L'x')}, L"axb", 2},
        {"Backspace", {TermKey(TK_BACKSPACE)}, L"ab", 1},
        {"Home and Delete", {TermKey(TK_HOME), TermKey(TK_DELETE)}, L"b", 0},
        {"Left at the start stays", {TermKey(TK_LEFT), TermKey(TK_BACKSPACE)}, L"b", 0},
        {"End, Right past the end",
         {TermKey(TK_END), TermKey(TK_RIGHT), TermKey(TK_CHAR, L'c')},
         L"bc",
         2},
        {"Ctrl+K from the caret on",
         {TermKey(TK_HOME), TermKey(TK_RIGHT), TermKey(TK_KILL_END)},
         L"b",
         1},
        {"control characters are not text", {TermKey(TK_CHAR, 7), TermKey(TK_CHAR, 0x7F)}, L"b", 1},
        {"Enter does not close the dialog", {TermKey(TK_ENTER)}, L"b", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const TERM_KEY& key : c.keys)
            view->HandleKey(key);
        EXPECT_EQ(field.GetText(), c.text);
        EXPECT_EQ(view->GetField(field).caret, c.caret);
    }
    EXPECT_TRUE(sink.commands.empty());
    EXPECT_FALSE(dialog.IsEnded());
}

TEST_F(KorvaneView, LongTextScrollsToKeepTheCaretInSight) {
    CUiControl& field = *dialog.FindControl(IDC_FILENAME);
    // The path the program set: the caret at its end, the field scrolled to show it.
    const TERM_FIELD_STATE& state = view->GetField(field);
    EXPECT_EQ(state.caret, field.GetText().size());
    const size_t width = 26; // 28 cells less the brackets
    EXPECT_EQ(state.first, field.GetText().size() - width + 1);
    Keys({TermKey(TK_HOME)});
    EXPECT_EQ(view->GetField(field).first, 0u);
}

TEST_F(KorvaneView, StatusLineIsReadOnlyButScrolls) {
    CUiControl& status = *dialog.FindControl(IDC_STATUS);
    status.SetText(std::wstring(80, L's') + L"end");
    Keys({TermKey(TK_BACKTAB), TermKey(TK_BACKTAB), TermKey(TK_BACKTAB)});
    ASSERT_EQ(FocusId(), IDC_STATUS);
    EXPECT_EQ(view->GetField(status).first, 0u) << "a program's text shows from its start";
    Type(L"xyz");
    Keys({TermKey(TK_BACKSPACE), TermKey(TK_KILL_START)});
    EXPECT_EQ(status.GetText(), std::wstring(80, L's') + L"end");
    Keys({TermKey(TK_END)});
    EXPECT_GT(view->GetField(status).first, 0u);
}

TEST_F(KorvaneView, ComboBoxUpDownAndItsList) {
    CUiControl& combo = *dialog.FindControl(IDC_SLAVE_ADDRESS);
    Keys({TermKey(TK_TAB), TermKey(TK_TAB), TermKey(TK_TAB)});
    ASSERT_EQ(FocusId(), IDC_SLAVE_ADDRESS);
    Keys({TermKey(TK_UP)});
    EXPECT_EQ(combo.GetCurSel(), 0) << "Up at the first entry stays";
    Keys({TermKey(TK_DOWN)});
    EXPECT_EQ(combo.GetText(), L"0x15");
    Keys({TermKey(TK_DOWN), TermKey(TK_DOWN), TermKey(TK_DOWN), TermKey(TK_DOWN)});
    EXPECT_EQ(combo.GetText(), L"0x1D") << "Down at the last entry stays";

    // The list: opened with Enter, moved in, left with Esc unchanged, picked with Enter.
    Keys({TermKey(TK_ENTER)});
    ASSERT_TRUE(view->IsListOpen());
    EXPECT_EQ(view->GetListHighlight(), 4);
    Keys({TermKey(TK_UP), TermKey(TK_UP), TermKey(TK_ESC)});
    EXPECT_FALSE(view->IsListOpen());
    EXPECT_EQ(combo.GetCurSel(), 4);
    EXPECT_FALSE(dialog.IsEnded()) << "Esc in the list closes only the list";
    Keys({TermKey(TK_DROPDOWN), TermKey(TK_HOME), TermKey(TK_DOWN), TermKey(TK_ENTER)});
    EXPECT_EQ(combo.GetText(), L"0x15");
    EXPECT_TRUE(sink.commands.empty());

    // The edit field takes typing: a text of the list selects its entry, any other none.
    Keys({TermKey(TK_KILL_START)});
    Type(L"0x1c");
    EXPECT_EQ(combo.GetCurSel(), 3);
    Type(L"9");
    EXPECT_EQ(combo.GetCurSel(), -1);
}

TEST_F(KorvaneView, EscCancelsTheDialog) {
    Keys({TermKey(TK_ESC)});
    const std::vector<std::pair<WORD, WORD>> expected = {{IDCANCEL, BN_CLICKED}};
    EXPECT_EQ(sink.commands, expected);
}

TEST_F(KorvaneView, ClicksFocusAndPress) {
    // The caption's OK and close buttons.
    const TERM_RECT ok = TermCaptionOkRect(g_dlgKorvane);
    const TERM_RECT close = TermCaptionCloseRect(g_dlgKorvane);
    view->HandleClick(ok.col, -1);
    view->HandleClick(close.col + 1, -1);
    // "Flash!" anywhere in its box; a label does nothing.
    const TERM_RECT flash = Cells(IDC_FLASH);
    view->HandleClick(flash.col + flash.cols - 1, flash.row + flash.rows - 1);
    const TERM_RECT label = Cells(IDC_FILENAME_LABEL);
    view->HandleClick(label.col, label.row);
    const std::vector<std::pair<WORD, WORD>> expected = {
        {IDOK, BN_CLICKED}, {IDCANCEL, BN_CLICKED}, {IDC_FLASH, BN_CLICKED}};
    EXPECT_EQ(sink.commands, expected);
    EXPECT_EQ(FocusId(), IDC_FLASH);

    // In the file field the caret goes where the click is.
    const TERM_RECT field = Cells(IDC_FILENAME);
    view->HandleClick(field.col + 1, field.row);
    EXPECT_EQ(FocusId(), IDC_FILENAME);
    const TERM_FIELD_STATE& state = view->GetField(*dialog.FindControl(IDC_FILENAME));
    EXPECT_EQ(state.caret, state.first);

    // The combo box's arrow opens its list, and a click on an entry picks it.
    const TERM_RECT combo = Cells(IDC_SLAVE_ADDRESS);
    view->HandleClick(combo.col + combo.cols - 2, combo.row);
    ASSERT_TRUE(view->IsListOpen());
    const TERM_RECT list = view->GetListRect();
    EXPECT_EQ(list.rows, 6); // five entries and the frame below
    view->HandleClick(list.col + 2, list.row + 3);
    EXPECT_FALSE(view->IsListOpen());
    EXPECT_EQ(dialog.FindControl(IDC_SLAVE_ADDRESS)->GetText(), L"0x1C");
}
