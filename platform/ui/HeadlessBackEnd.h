// A back end that draws nothing, for runs without a screen: the caller plays the operator on
// each dialog through a function (fills controls, clicks buttons), every change the program
// shows is reported to a listener as it happens, and every message box is answered with its
// first button (OK for the boxes that have one).
#pragma once

#include "platform/ui/UiBackEnd.h"

#include <deque>
#include <functional>

// Told of what the program shows, at the moment it shows it.
class IUiShowListener {
public:
    virtual void OnControlShown(const CUiControl& control) = 0;
    virtual void OnMessageBoxShown(const std::wstring& text, UINT nType) = 0;

protected:
    ~IUiShowListener() = default;
};

class CHeadlessBackEnd : public CUiBackEnd {
public:
    using Operator = std::function<void(CUiDialog&)>;

    // Installs itself as the back end in use; the destructor puts the previous one back.
    explicit CHeadlessBackEnd(IUiShowListener& listener);
    ~CHeadlessBackEnd() override;
    CHeadlessBackEnd(const CHeadlessBackEnd&) = delete;
    CHeadlessBackEnd& operator=(const CHeadlessBackEnd&) = delete;

    // The next modal dialog is worked by this function once it is initialised; when it
    // returns, the dialog is closed (Cancel). A dialog with none left is closed at once.
    void OnNextDialog(Operator work) { m_operators.push_back(std::move(work)); }

    void RunModal(CUiDialog& dialog) override;
    void ControlChanged(CUiDialog& dialog, CUiControl& control) override;
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT nType) override;
    // Nobody is there to choose: every file dialog is cancelled.
    BOOL ChooseFile(UI_FILE_REQUEST& request) override;

private:
    IUiShowListener& m_listener;
    CUiBackEnd* m_pPrevious;
    std::deque<Operator> m_operators;
};
