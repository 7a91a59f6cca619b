// A shown dialog: its controls' states, built from the template, and the operator's input,
// which the back end reports here and the dialog passes on to the program as commands.
#pragma once

#include "platform/ui/UiControl.h"

#include <memory>
#include <string>
#include <vector>

class CUiBackEnd;

// The keys every back end shares, whatever its own key codes: Tab and Shift+Tab move the focus,
// Space or Enter presses a button or checks a radio button, Up and Down move a combo box's
// selection, Esc cancels the dialog. Typing into fields is the back end's own (it reports the
// new text with Type).
enum UI_KEY {
    UI_KEY_TAB,
    UI_KEY_BACKTAB,
    UI_KEY_ACTIVATE,
    UI_KEY_UP,
    UI_KEY_DOWN,
    UI_KEY_ESCAPE,
};

// The program's side of a dialog: receives the commands that the operator's input makes.
class IUiCommandSink {
public:
    virtual void OnUiCommand(WORD nID, WORD nCode) = 0;

protected:
    ~IUiCommandSink() = default;
};

class CUiDialog : public UI_WINDOW {
public:
    CUiDialog(const DLGRESOURCE& resource, IUiCommandSink& sink, CUiBackEnd& backEnd);
    CUiDialog(const CUiDialog&) = delete;
    CUiDialog& operator=(const CUiDialog&) = delete;

    const DLGRESOURCE& GetResource() const { return m_resource; }
    const std::wstring& GetCaption() const { return m_caption; }
    // Controls in template order.
    const std::vector<std::unique_ptr<CUiControl>>& GetControls() const { return m_controls; }
    CUiControl* FindControl(WORD nID) const;

    // Set by the program.
    void SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const { return bBigIcon ? m_hBigIcon : m_hSmallIcon; }
    void Center() { m_bCentered = TRUE; }
    BOOL IsCentered() const { return m_bCentered; }
    void End(int nResult);
    BOOL IsEnded() const { return m_bEnded; }
    int GetResult() const { return m_nResult; }

    // The operator's input, reported by the back end. Each returns FALSE and changes nothing
    // when the control cannot take that input (no such control, a static, a read-only field).
    // A click on a button, a radio button checked by clicking (it unchecks the other radio
    // buttons of its group) and IDOK / IDCANCEL (the caption's OK button, Esc) reach the
    // program as BN_CLICKED commands.
    BOOL Click(WORD nID);
    BOOL Type(WORD nID, const std::wstring& text);
    BOOL Select(WORD nID, int nIndex);
    void Command(WORD nID);

    // Keyboard focus. The controls that take it, in template order: those with WS_TABSTOP, and
    // radio buttons (on the device they have no tab stop; here a keyboard must reach them).
    // The focus starts on the first of them.
    std::vector<CUiControl*> GetTabOrder() const;
    CUiControl* GetFocus() const;
    BOOL SetFocus(WORD nID);
    // One of the shared keys, acting on the control with the focus; FALSE when it does nothing.
    BOOL Key(UI_KEY key);

    // A control's state changed under the program's hand: the back end draws it now.
    void ControlChanged(CUiControl& control);

private:
    void CheckRadioInGroup(CUiControl& clicked);

    const DLGRESOURCE& m_resource;
    IUiCommandSink& m_sink;
    CUiBackEnd& m_backEnd;
    std::wstring m_caption;
    std::vector<std::unique_ptr<CUiControl>> m_controls;
    HICON m_hBigIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    WORD m_nFocusId = 0; // 0: the first control of the tab order
    BOOL m_bCentered = FALSE;
    BOOL m_bEnded = FALSE;
    int m_nResult = 0;
};
