#include "usbdriverdlg.h"

#include "installer_logic.h"
#include "platform.h"
#include "resource.h"

namespace {

std::wstring statusTextFor(ferrodin::Moment moment)
{
    const ferrodin::CodedText text = ferrodin::statusText(g_langKind, moment);
    return fw::widen(text.bytes, text.codePage);
}

} // namespace

// --- UsbDriverDlg ---------------------------------------------------------------------------------------

UsbDriverDlg::UsbDriverDlg(HWND parent)
    : fw::Dialog(IDD_USBDRIVER_DIALOG, parent),
      m_appIcon(LoadIconW(fw::WinApp::current()->instance(), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

FW_BEGIN_MESSAGE_MAP(UsbDriverDlg, fw::Dialog)
FW_ON_MESSAGE(WM_PAINT, onPaint)
FW_ON_MESSAGE(WM_QUERYDRAGICON, onQueryDragIcon)
FW_ON_MESSAGE(WM_TIMER, onTimer)
FW_END_MESSAGE_MAP()

void UsbDriverDlg::doDataExchange(fw::DataExchange &dx)
{
    fw::Dialog::doDataExchange(dx);
    dx.text(IDC_STATUS_TEXT, m_statusText);
}

BOOL UsbDriverDlg::onInitDialog()
{
    fw::Dialog::onInitDialog();

    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_appIcon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_appIcon));

    detectLanguage();
    detectWindowsKind();

    m_statusText = statusTextFor(ferrodin::Moment::Start);
    updateData(false);

    SetTimer(hwnd(), ferrodin::kInstallTimerId, ferrodin::kInstallTimerPeriodMs, nullptr);
    return TRUE; // the dialog manager sets the initial focus
}

std::optional<LRESULT> UsbDriverDlg::onPaint(WPARAM, LPARAM)
{
    if (!IsIconic(hwnd()))
        return std::nullopt;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const ferrodin::Point origin =
        ferrodin::minimisedIconOrigin(client.right - client.left, client.bottom - client.top,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    DrawIcon(dc, origin.x, origin.y, m_appIcon);
    EndPaint(hwnd(), &paint);
    return 0;
}

std::optional<LRESULT> UsbDriverDlg::onQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(m_appIcon);
}

std::optional<LRESULT> UsbDriverDlg::onTimer(WPARAM timerId, LPARAM)
{
    if (timerId == ferrodin::kInstallTimerId) {
        KillTimer(hwnd(), ferrodin::kInstallTimerId); // the installation runs once
        const int installed = installDriver();
        m_statusText = statusTextFor(installed ? ferrodin::Moment::Success : ferrodin::Moment::Failure);
        updateData(false);
    }
    return std::nullopt;
}

// --- UsbDriverApp -------------------------------------------------------------------------------------

bool UsbDriverApp::initInstance()
{
    UsbDriverDlg dialog;
    m_pMainWnd = &dialog;
    dialog.doModal();
    m_pMainWnd = nullptr;
    return false; // the dialog has ended: so does the program
}

UsbDriverApp theApp;
