// Helpers of the Windows probe that drives Ferrodin in its tests: processes, windows, the dialog's
// text, and pass/fail bookkeeping.
#pragma once

#include <windows.h>

#include <string>

namespace probe {

// A started process; its handles are closed, and the process ended if still running, on destruction.
class Process
{
public:
    Process() = default;
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool start(const std::wstring &program, const std::wstring &directory = std::wstring());
    DWORD id() const { return m_info.dwProcessId; }
    HANDLE handle() const { return m_info.hProcess; }
    bool waitForExit(DWORD timeoutMs, DWORD *exitCode = nullptr) const;
    bool running() const;

private:
    PROCESS_INFORMATION m_info{};
};

void check(bool ok, const std::string &what);
int finish(); // prints the closing line; the exit code of the probe

// "/unix/path" as Wine's Z: drive path; Windows paths are kept.
std::wstring windowsPath(const char *argument);
std::wstring directoryOf(const std::wstring &path);
std::wstring fileNameOf(const std::wstring &path);
std::string narrow(const std::wstring &text);

// The top-level window of a process with exactly this title, or null.
HWND findWindowOf(DWORD processId, const std::wstring &title);
HWND waitForWindowOf(DWORD processId, const std::wstring &title, DWORD timeoutMs);
// Top-level windows with this title, of any process.
int countWindowsTitled(const std::wstring &title);
std::wstring textOf(HWND window);
std::wstring controlText(HWND dialog, int controlId);

// Milliseconds since the probe started.
DWORD now();

} // namespace probe
