// The main dialog: the operator chooses the kind of target, the slave address and the image
// file, and "Flash!" runs the whole update (OnFlash).
#pragma once

#include "afxwin.h"
#include "app/resource.h"

#include <cstdio>

class CSlaveProtocol;

class CKorvaneDlg : public CDialog {
public:
    explicit CKorvaneDlg(CWnd* pParent = NULL);
    ~CKorvaneDlg() override;

    enum { IDD = IDD_KORVANE_DIALOG };

    CComboBox m_cbSlaveAddress;
    CProgressCtrl m_progress;
    CString m_strFileName;
    CString m_strStatus;
    BYTE m_bOdMode; // 1: an OD target, 0: a Stepper target
    HICON m_hIcon;
    CSlaveProtocol* m_pProtocol; // the process's command layer, not owned; null without a port

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    void OnFlash();
    void OnBrowse();
    void OnOd();
    void OnStepper();

    DECLARE_MESSAGE_MAP()

private:
    // Puts the text into the status line and shows it at once.
    void ShowStatus(LPCTSTR lpszStatus);
    // The part of an update between the opened file and the slave's final status.
    void FlashImage(FILE* pFile, BYTE* pImage, BYTE bAddress, BYTE bBlockLength, UINT nMultiplier);
};
