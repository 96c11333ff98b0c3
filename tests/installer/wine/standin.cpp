// Stands in for the setup program in Ferrodin's Windows tests. It records its process id and command
// line (STANDIN_RECORD names the file) and opens a message box titled STANDIN_TITLE ("Error" when
// unset), as the setup service does when an installation fails. It ends when the box is closed.
#include <windows.h>

#include <string>

namespace {

std::wstring environment(const wchar_t *name, const wchar_t *fallback)
{
    wchar_t value[512] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 512);
    return (length > 0 && length < 512) ? std::wstring(value, length) : std::wstring(fallback);
}

void record(const std::wstring &path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::wstring text = std::to_wstring(GetCurrentProcessId()) + L"\n" + GetCommandLineW();
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring recordPath = environment(L"STANDIN_RECORD", L"");
    if (!recordPath.empty())
        record(recordPath);
    const std::wstring title = environment(L"STANDIN_TITLE", L"Error");
    MessageBoxW(nullptr, L"The driver could not be installed.", title.c_str(), MB_OK);
    return 0;
}
