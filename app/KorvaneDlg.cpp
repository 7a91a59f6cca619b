#include "app/KorvaneDlg.h"
#include "protocol/SlaveProtocol.h"
#include "protocol/Slaves.h"

// The image that a new dialog offers to flash, on the device's own storage.
static const TCHAR s_szDefaultImage[] = _T("\\Nand Store\\MCU\\Application.hex");

BEGIN_MESSAGE_MAP(CKorvaneDlg, CDialog)
ON_BN_CLICKED(IDC_FLASH, OnFlash)
ON_BN_CLICKED(IDC_BROWSE, OnBrowse)
ON_BN_CLICKED(IDC_OD, OnOd)
ON_BN_CLICKED(IDC_STEPPER, OnStepper)
END_MESSAGE_MAP()

// The mode and the command layer get defined values here; OnInitDialog sets both for real.
CKorvaneDlg::CKorvaneDlg(CWnd* pParent)
    : CDialog(CKorvaneDlg::IDD, pParent), m_strFileName(_T("")), m_strStatus(_T("")), m_bOdMode(0),
      m_hIcon(AfxGetApp()->LoadIcon(IDR_MAINFRAME)), m_pProtocol(NULL) {}

CKorvaneDlg::~CKorvaneDlg() {}

void CKorvaneDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SLAVE_ADDRESS, m_cbSlaveAddress);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_FILENAME, m_strFileName);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
}

BOOL CKorvaneDlg::OnInitDialog() {
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    CenterWindow(GetDesktopWindow());

    // Opens the serial port; without it the dialog still opens, and "Flash!" tries again.
    m_pProtocol = CSlaveProtocol::GetProtocol();

    m_strFileName = s_szDefaultImage;
    CDialog::OnInitDialog();

    // The resource's texts sort into the order of the addresses: the item data follow by index.
    for (int i = 0; i < STEPPER_SLAVE_COUNT; i++)
        m_cbSlaveAddress.SetItemData(i, STEPPER_SLAVE_ADDRESSES[i]);
    m_cbSlaveAddress.SetCurSel(0);

    // The dialog opens showing a Stepper slave's address selected, so it opens in Stepper
    // mode: what the operator sees is what "Flash!" does, and nothing resets slave 1 unasked.
    CheckRadioButton(IDC_OD, IDC_STEPPER, IDC_STEPPER);
    m_bOdMode = 0;
    return TRUE;
}

// Cancel leaves the file field as it was: the operator's path is not lost to an empty one.
void CKorvaneDlg::OnBrowse() {
    CFileDialog dlgFile(TRUE, _T(".out"), NULL, 0, NULL, this);
    if (dlgFile.DoModal() != IDOK)
        return;
    m_strFileName = dlgFile.GetPathName();
    UpdateData(FALSE);
}

void CKorvaneDlg::OnOd() {
    m_bOdMode = 1;
}

void CKorvaneDlg::OnStepper() {
    m_bOdMode = 0;
}

void CKorvaneDlg::ShowStatus(LPCTSTR lpszStatus) {
    m_strStatus = lpszStatus;
    UpdateData(FALSE);
}
