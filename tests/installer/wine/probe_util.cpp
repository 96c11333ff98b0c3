#include "probe.h"

#include <cstdio>
#include <vector>

namespace probe {

namespace {
int g_passed = 0;
int g_failed = 0;
const DWORD g_start = GetTickCount();
} // namespace

Process::~Process()
{
    if (m_info.hProcess) {
        if (running())
            TerminateProcess(m_info.hProcess, 1);
        CloseHandle(m_info.hProcess);
    }
    if (m_info.hThread)
        CloseHandle(m_info.hThread);
}

bool Process::start(const std::wstring &program, const std::wstring &directory)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &m_info) != FALSE;
}

bool Process::waitForExit(DWORD timeoutMs, DWORD *exitCode) const
{
    if (!m_info.hProcess || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

bool Process::running() const
{
    return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

void check(bool ok, const std::string &what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    ++(ok ? g_passed : g_failed);
}

int finish()
{
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

std::wstring windowsPath(const char *argument)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, argument, -1, nullptr, 0);
    std::wstring path(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, argument, -1, path.data(), length);
    path.resize(path.size() - 1);
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;
    for (wchar_t &c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring directoryOf(const std::wstring &path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring fileNameOf(const std::wstring &path)
{
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string narrow(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += "\\n";
        else if (c >= 32 && c < 127)
            out += static_cast<char>(c);
        else {
            char escape[12];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return "\"" + out + "\"";
}

std::wstring textOf(HWND window)
{
    // Another process's window text is read without sending it a message, so a busy dialog
    // cannot stall the probe.
    std::vector<wchar_t> buffer(512);
    const int length = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring controlText(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control ? textOf(control) : std::wstring(L"<no control>");
}

namespace {
struct Search
{
    DWORD processId; // 0: any process
    std::wstring title;
    HWND found;
    int count;
};

BOOL CALLBACK visit(HWND window, LPARAM param)
{
    auto *search = reinterpret_cast<Search *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId)
        return TRUE;
    // A dialog is shown once its initialisation is done.
    if (!IsWindowVisible(window))
        return TRUE;
    if (textOf(window) != search->title)
        return TRUE;
    search->found = window;
    ++search->count;
    return search->processId ? FALSE : TRUE;
}
} // namespace

HWND findWindowOf(DWORD processId, const std::wstring &title)
{
    Search search{processId, title, nullptr, 0};
    EnumWindows(&visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindowOf(DWORD processId, const std::wstring &title, DWORD timeoutMs)
{
    const DWORD start = now();
    for (;;) {
        if (HWND window = findWindowOf(processId, title))
            return window;
        if (now() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

int countWindowsTitled(const std::wstring &title)
{
    Search search{0, title, nullptr, 0};
    EnumWindows(&visit, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

DWORD now()
{
    return GetTickCount() - g_start;
}

} // namespace probe
