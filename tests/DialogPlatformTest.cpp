// The MFC subset and the dialog layer under a dialog of the test's own: data exchange, message
// maps, combo boxes, radio groups, progress bars, message boxes, file dialogs, the file open.
#include "afxwin.h"
#include "wstdio.h"

#include "platform/ui/ScriptedBackEnd.h"
#include "platform/ui/UiLayout.h"

#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum { IDD_TEST = 7, IDC_NAME = 100, IDC_LIST, IDC_BAR, IDC_GO, IDC_A, IDC_B, IDC_C, IDC_RO };

const DLGITEMRESOURCE s_items[] = {
    {IDC_NAME, L"EDIT", L"", 0, 0, 50, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP},
    {IDC_LIST, L"COMBOBOX", L"", 0, 10, 50, 40, WS_CHILD | CBS_SORT | CBS_DROPDOWN},
    {IDC_BAR, L"msctls_progress32", L"Progress1", 0, 20, 50, 10, WS_CHILD},
    {IDC_GO, L"BUTTON", L"Go", 0, 30, 20, 10, WS_CHILD | WS_TABSTOP},
    {IDC_A, L"BUTTON", L"A", 0, 40, 20, 10, WS_CHILD | WS_GROUP | BS_AUTORADIOBUTTON},
    {IDC_B, L"BUTTON", L"B", 0, 50, 20, 10, WS_CHILD | BS_AUTORADIOBUTTON},
    {IDC_C, L"BUTTON", L"C", 0, 60, 20, 10, WS_CHILD | WS_GROUP | BS_AUTORADIOBUTTON},
    {IDC_RO, L"EDIT", L"", 0, 70, 50, 10, WS_CHILD | ES_READONLY},
};
const DLGINITRESOURCE s_init[] = {
    {IDC_LIST, CB_ADDSTRING, L"beta"},
    {IDC_LIST, CB_ADDSTRING, L"Alpha"},
    {IDC_LIST, CB_ADDSTRING, L"gamma"},
};
const DLGRESOURCE s_dialog = {IDD_TEST, L"Test", 0, 0,       100, 100,    L"System",
                              8,        0,       0, s_items, 8,   s_init, 3};
const DLGRESOURCE* const s_dialogs[] = {&s_dialog};
const RESOURCE_MODULE s_module = {s_dialogs, 1, nullptr, 0};

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_TEST) {}
    CComboBox m_list;
    CProgressCtrl m_bar;
    CString m_strName = L"start";
    CString m_strRo = L"shown";
    int m_nGo = 0;
    int m_nA = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_LIST, m_list);
        DDX_Control(pDX, IDC_BAR, m_bar);
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDX_Text(pDX, IDC_RO, m_strRo);
    }
    void OnGo() { ++m_nGo; }
    void OnA() { ++m_nA; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
ON_BN_CLICKED(IDC_GO, OnGo)
ON_BN_CLICKED(IDC_A, OnA)
END_MESSAGE_MAP()

class DialogPlatform : public ::testing::Test {
protected:
    void SetUp() override { m_previous = AfxGetResourceHandle(), AfxSetResourceHandle(&s_module); }
    void TearDown() override { AfxSetResourceHandle(m_previous); }
    HINSTANCE m_previous = nullptr;
    CScriptedBackEnd ui;
};

TEST_F(DialogPlatform, DataExchangeBothWaysAndOkReadsBack) {
    CTestDlg dlg;
    ui.OnNextDialog([&](CScriptedBackEnd& s) {
        EXPECT_EQ(s.GetDialog()->GetCaption(), L"Test");
        EXPECT_EQ(s.GetText(IDC_NAME), L"start");
        EXPECT_EQ(s.GetText(IDC_RO), L"shown");
        EXPECT_TRUE(s.Type(IDC_NAME, L"typed"));
        EXPECT_FALSE(s.Type(IDC_RO, L"no")); // read-only
        EXPECT_EQ(dlg.m_strName, L"start");  // nothing read before UpdateData(TRUE)
        s.Command(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strName, L"typed");
    EXPECT_EQ(dlg.m_list.m_hWnd, nullptr); // controls let go when the dialog closed
}

TEST_F(DialogPlatform, CancelKeepsMembersAndDialogRunsAgain) {
    CTestDlg dlg;
    ui.OnNextDialog([](CScriptedBackEnd& s) { s.Type(IDC_NAME, L"lost"); }); // then Esc
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_strName, L"start");
    ui.OnNextDialog([](CScriptedBackEnd& s) {
        EXPECT_EQ(s.GetItems(IDC_LIST).size(), 3u); // filled once per showing
        s.Command(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(DialogPlatform, MissingTemplateOrBackEndGivesMinusOne) {
    CDialog other(999);
    EXPECT_EQ(other.DoModal(), -1);
    CUiBackEnd* pBackEnd = UiSetBackEnd(nullptr);
    CTestDlg dlg;
    EXPECT_EQ(dlg.DoModal(), -1);
    UiSetBackEnd(pBackEnd);
}

TEST_F(DialogPlatform, SortedComboItemDataAndSelection) {
    CTestDlg dlg;
    ui.OnNextDialog([&](CScriptedBackEnd& s) {
        EXPECT_EQ(s.GetItems(IDC_LIST), (std::vector<std::wstring>{L"Alpha", L"beta", L"gamma"}));
        EXPECT_EQ(dlg.m_list.AddString(L"Beta2"), 2); // after "beta", ignoring case
        EXPECT_EQ(dlg.m_list.GetCurSel(), CB_ERR);
        EXPECT_EQ(dlg.m_list.SetItemData(1, 42), 0);
        EXPECT_EQ(dlg.m_list.SetItemData(9, 42), CB_ERR);
        EXPECT_EQ(dlg.m_list.GetItemData(1), 42u);
        EXPECT_EQ(dlg.m_list.GetItemData(0), 0u);
        // No selection: item data of CB_ERR is all bits set, so its low byte is 255.
        EXPECT_EQ(LOBYTE(dlg.m_list.GetItemData(dlg.m_list.GetCurSel())), 255);
        EXPECT_EQ(dlg.m_list.SetCurSel(1), 1);
        EXPECT_EQ(s.GetText(IDC_LIST), L"beta");
        EXPECT_TRUE(s.Select(IDC_LIST, 2));
        EXPECT_EQ(dlg.m_list.GetCurSel(), 2);
        EXPECT_TRUE(s.Type(IDC_LIST, L"GAMMA")); // typed text selects the entry that matches
        EXPECT_EQ(dlg.m_list.GetCurSel(), 3);
        EXPECT_TRUE(s.Type(IDC_LIST, L"delta"));
        EXPECT_EQ(dlg.m_list.GetCurSel(), CB_ERR);
        EXPECT_EQ(dlg.m_list.SetCurSel(7), CB_ERR);
        EXPECT_FALSE(s.Select(IDC_LIST, 7));
    });
    dlg.DoModal();
}

TEST_F(DialogPlatform, RadioGroupsAndMessageMap) {
    CTestDlg dlg;
    ui.OnNextDialog([&](CScriptedBackEnd& s) {
        EXPECT_TRUE(s.Click(IDC_C));
        EXPECT_TRUE(s.Click(IDC_A));
        EXPECT_TRUE(s.IsChecked(IDC_A));
        EXPECT_TRUE(s.IsChecked(IDC_C)); // another group
        EXPECT_TRUE(s.Click(IDC_B));
        EXPECT_FALSE(s.IsChecked(IDC_A));
        EXPECT_TRUE(s.IsChecked(IDC_B));
        EXPECT_TRUE(s.Click(IDC_GO));
        EXPECT_TRUE(s.Click(IDC_GO));
        EXPECT_FALSE(s.Click(IDC_NAME)); // an edit is not clicked
        dlg.CheckRadioButton(IDC_A, IDC_B, IDC_A);
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_A), 1u);
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_B), 0u);
    });
    dlg.DoModal();
    EXPECT_EQ(dlg.m_nGo, 2);
    EXPECT_EQ(dlg.m_nA, 1);
}

TEST_F(DialogPlatform, ProgressStaysInRangeAndEveryChangeIsShown) {
    CTestDlg dlg;
    ui.OnNextDialog([&](CScriptedBackEnd&) {
        dlg.m_bar.SetRange32(0, 65);
        EXPECT_EQ(dlg.m_bar.SetPos(0), 0);
        EXPECT_EQ(dlg.m_bar.OffsetPos(64), 0);
        EXPECT_EQ(dlg.m_bar.OffsetPos(64), 64);
        EXPECT_EQ(dlg.m_bar.GetPos(), 65);
        int lo = -1, hi = -1;
        dlg.m_bar.GetRange(lo, hi);
        EXPECT_EQ(lo, 0);
        EXPECT_EQ(hi, 65);
    });
    dlg.DoModal();
    std::vector<int> positions;
    for (const UI_EVENT& e : ui.GetEvents()) {
        if (e.kind == UI_EVENT_PROGRESS)
            positions.push_back(e.value);
    }
    EXPECT_EQ(positions, (std::vector<int>{0, 64, 65}));
}

TEST_F(DialogPlatform, MessageBoxesAreLoggedAndAnswered) {
    ui.QueueMessageBoxAnswer(IDNO);
    EXPECT_EQ(AfxMessageBox(L"first?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(L"second", MB_ICONHAND), IDOK);
    const auto boxes = ui.GetMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"first?");
    EXPECT_EQ(boxes[0].style, MB_YESNO);
    EXPECT_EQ(boxes[1].style, 16u);
    EXPECT_EQ(boxes[1].caption, AfxGetAppName());
}

TEST_F(DialogPlatform, FileDialogOkAndCancel) {
    ui.QueueFileAnswer(TRUE, L"/tmp/a.hex");
    ui.QueueFileAnswer(FALSE, L"");
    CFileDialog ok(TRUE, L".out", nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(ok.DoModal(), IDOK);
    EXPECT_EQ(ok.GetPathName(), L"/tmp/a.hex");
    CFileDialog cancel(TRUE, L".out", L"given.hex");
    EXPECT_EQ(cancel.DoModal(), IDCANCEL);
    EXPECT_EQ(cancel.GetPathName(), L"given.hex");
    ASSERT_EQ(ui.GetFileRequests().size(), 2u);
    EXPECT_EQ(ui.GetFileRequests()[0].defExt, L".out");
    EXPECT_TRUE(ui.GetFileRequests()[0].bOpen);
}

// A terminal cell is a quarter of a column across and an eighth of a row down; sizes round up.
TEST(DialogLayout, DialogUnitsMapToCellsAndPixels) {
    const UI_RECT cells = MapDialogRect(7, 104, 230, 12, 1, 1);
    EXPECT_EQ(cells.x, 1);
    EXPECT_EQ(cells.y, 13);
    EXPECT_EQ(cells.cx, 58);
    EXPECT_EQ(cells.cy, 2);
    const UI_RECT pixels = MapDialogRect(12, 13, 42, 9, 6, 13); // base units 6 x 13 pixels
    EXPECT_EQ(pixels.x, 18);
    EXPECT_EQ(pixels.y, 21);
    EXPECT_EQ(pixels.cx, 63);
    EXPECT_EQ(pixels.cy, 15);
}

TEST(CStringTest, FormatCompareAndConvert) {
    CString s;
    s.Format(L"Update failed! Error %d", static_cast<BYTE>(5));
    EXPECT_EQ(s, L"Update failed! Error 5");
    s.Format(L"%ls-%u", std::wstring(3000, L'x').c_str(), 7u); // longer than the first buffer
    EXPECT_EQ(s.GetLength(), 3002);
    EXPECT_TRUE(CString(L"abc") < CString(L"abd"));
    EXPECT_EQ(CString(L"ABC").CompareNoCase(L"abc"), 0);
    EXPECT_EQ(CString("Gr\xC3\xBC\xC3\x9F").GetLength(), 4);
    EXPECT_EQ(CString(L"Gr\u00FC\u00DF").ToUtf8(), "Gr\xC3\xBC\xC3\x9F");
    EXPECT_TRUE(CString(static_cast<LPCWSTR>(nullptr)).IsEmpty());
    EXPECT_EQ(CString(L"a") + L"b" + CString(L"c"), L"abc");
}

// A device path opens below CE_ROOT with '\' read as '/'; any other path opens as it is.
TEST(WideFileOpen, DevicePathsMapBelowCeRoot) {
    char dirTemplate[] = "/tmp/korvane-wfopen-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string root = dirTemplate;
    ASSERT_EQ(mkdir((root + "/Nand Store").c_str(), 0700), 0);
    std::ofstream(root + "/Nand Store/app.hex") << "x";
    const char* old = std::getenv("CE_ROOT");
    const std::string saved = old ? old : "";

    setenv("CE_ROOT", (root + "/").c_str(), 1);
    FILE* f = _wfopen(L"\\Nand Store\\app.hex", L"r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'x');
    std::fclose(f);
    EXPECT_EQ(_wfopen(L"\\Nand Store\\missing.hex", L"r"), nullptr);

    const std::wstring hostPath(root.begin(), root.end());
    f = _wfopen((hostPath + L"/Nand Store/app.hex").c_str(), L"r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    unsetenv("CE_ROOT"); // the default root is "/"
    f = _wfopen((L"\\" + hostPath.substr(1) + L"\\Nand Store\\app.hex").c_str(), L"r");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    if (old)
        setenv("CE_ROOT", saved.c_str(), 1);
    std::remove((root + "/Nand Store/app.hex").c_str());
    rmdir((root + "/Nand Store").c_str());
    rmdir(root.c_str());
}

// Only a regular file opens, whatever the mode; the others are refused at once, with the
// reason in errno, and a FIFO nobody writes to or reads from never holds the open.
TEST(WideFileOpen, OpensRegularFilesOnly) {
    const std::string dir = testsupport::MakeTempDir("korvane-wfopen");
    ASSERT_FALSE(dir.empty());
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    std::ofstream(dir + "/file") << "x";
    struct Case {
        std::string path;
        const wchar_t* mode;
        int error; // 0: it opens
    };
    const Case cases[] = {
        {dir, L"r", EISDIR},           {dir + "/fifo", L"r", EINVAL}, {dir + "/fifo", L"a", ENXIO},
        {"/dev/null", L"w", EINVAL},   {dir + "/file", L"rb", 0},     {dir + "/file", L"a", 0},
        {dir + "/none", L"r", ENOENT}, {dir + "/new", L"w", 0},
    };
    for (const Case& c : cases) {
        errno = 0;
        FILE* f = _wfopen(std::wstring(c.path.begin(), c.path.end()).c_str(), c.mode);
        EXPECT_EQ(f != nullptr, c.error == 0) << c.path;
        EXPECT_EQ(f ? 0 : errno, c.error) << c.path;
        if (f)
            std::fclose(f);
    }
    EXPECT_EQ(testsupport::Slurp(dir + "/file"), "x");
    std::system(("rm -rf '" + dir + "'").c_str());
}

} // namespace
