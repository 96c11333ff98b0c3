#include "framework.h"

namespace fw {

namespace {
WinApp *g_app = nullptr;

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool returnsDirectly(UINT message)
{
    switch (message) {
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}
} // namespace

std::wstring widen(const char *bytes, unsigned codePage)
{
    const int length = MultiByteToWideChar(codePage, 0, bytes, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes, -1, text.data(), length);
    text.resize(static_cast<std::size_t>(length - 1));
    return text;
}

// --- DataExchange ---------------------------------------------------------------------------------

DataExchange::DataExchange(HWND dialog, bool saveAndValidate) : m_dialog(dialog), m_save(saveAndValidate) {}

void DataExchange::text(int controlId, std::wstring &value)
{
    HWND control = GetDlgItem(m_dialog, controlId);
    if (!control)
        return;
    if (m_save) {
        const int length = GetWindowTextLengthW(control);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const int copied = GetWindowTextW(control, text.data(), length + 1);
        text.resize(static_cast<std::size_t>(copied));
        value = text;
    } else {
        SetWindowTextW(control, value.c_str());
    }
}

// --- Dialog -----------------------------------------------------------------------------------------

Dialog::Dialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

const MessageMap *Dialog::ownMessageMap()
{
    static const MessageEntry entries[] = {{0, nullptr}};
    static const MessageMap map{nullptr, entries};
    return &map;
}

INT_PTR Dialog::doModal()
{
    HINSTANCE instance = WinApp::current() ? WinApp::current()->instance() : GetModuleHandleW(nullptr);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(m_templateId), m_parent, &Dialog::dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void Dialog::endDialog(INT_PTR result)
{
    if (m_hwnd)
        EndDialog(m_hwnd, result);
}

bool Dialog::updateData(bool save)
{
    if (!m_hwnd)
        return false;
    DataExchange dx(m_hwnd, save);
    doDataExchange(dx);
    return true;
}

BOOL Dialog::onInitDialog()
{
    updateData(false);
    return TRUE;
}

void Dialog::doDataExchange(DataExchange &) {}

void Dialog::onOK()
{
    if (updateData(true))
        endDialog(IDOK);
}

void Dialog::onCancel()
{
    endDialog(IDCANCEL);
}

INT_PTR CALLBACK Dialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog *dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog *>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        dialog->m_hwnd = hwnd;
    } else {
        dialog = reinterpret_cast<Dialog *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!dialog)
        return FALSE;
    const INT_PTR result = dialog->dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        dialog->m_hwnd = nullptr;
    }
    return result;
}

std::optional<LRESULT> Dialog::findAndCall(UINT message, WPARAM wParam, LPARAM lParam)
{
    for (const MessageMap *map = messageMap(); map; map = map->base) {
        for (const MessageEntry *entry = map->entries; entry->handler; ++entry) {
            if (entry->message == message)
                return (this->*(entry->handler))(wParam, lParam);
        }
    }
    return std::nullopt;
}

INT_PTR Dialog::dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return onInitDialog();
    // The OK button, Escape and the close box (which the dialog manager turns into IDCANCEL).
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            onOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            onCancel();
            return TRUE;
        }
    }
    const std::optional<LRESULT> result = findAndCall(message, wParam, lParam);
    if (!result)
        return FALSE;
    if (returnsDirectly(message))
        return static_cast<INT_PTR>(*result);
    SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, *result);
    return TRUE;
}

// --- WinApp -----------------------------------------------------------------------------------------

WinApp::WinApp()
{
    g_app = this;
}

WinApp::~WinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

WinApp *WinApp::current()
{
    return g_app;
}

int WinApp::run(HINSTANCE instance)
{
    m_instance = instance;
    // A dialog-based program does its whole work inside initInstance and returns false.
    initInstance();
    return 0;
}

} // namespace fw

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    fw::WinApp *app = fw::WinApp::current();
    return app ? app->run(instance) : 1;
}
