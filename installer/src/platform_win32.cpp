#include "platform.h"

#include "framework.h"
#include "installer_logic.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <optional>
#include <vector>

int g_osKind = ferrodin::kOsInitial;
int g_langKind = ferrodin::kLangInitial;

namespace {

// The product name, or nothing when the key does not open; an empty text when the value is unreadable.
std::optional<std::string> readProductName()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ferrodin::kProductNameKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::array<char, 256> buffer{};
    DWORD size = static_cast<DWORD>(buffer.size() - 1); // a terminating zero always remains
    DWORD type = 0;
    std::string name;
    const LSTATUS status = RegQueryValueExA(key, ferrodin::kProductNameValue, nullptr, &type,
                                            reinterpret_cast<LPBYTE>(buffer.data()), &size);
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
        name = buffer.data();
    RegCloseKey(key);
    return name;
}

// The running executable's full path; nothing when it cannot be had whole.
std::optional<std::string> modulePath()
{
    std::vector<char> buffer(4096);
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size())
        return std::nullopt;
    return std::string(buffer.data(), length);
}

// The setup program by its full path in the system directory, so that no copy in the program's own
// folder or the current directory is ever run in its place.
std::optional<std::string> setupProgramPath()
{
#ifdef FERRODIN_TEST_HOOKS
    // Test builds only: a stand-in for the setup program, named in the environment.
    std::array<char, MAX_PATH> hook{};
    const DWORD hookLength =
        GetEnvironmentVariableA("FERRODIN_TEST_SETUP_PROGRAM", hook.data(), static_cast<DWORD>(hook.size()));
    if (hookLength > 0 && hookLength < hook.size())
        return std::string(hook.data(), hookLength);
#endif
    std::array<char, MAX_PATH> systemDir{};
    const UINT length = GetSystemDirectoryA(systemDir.data(), static_cast<UINT>(systemDir.size()));
    if (length == 0 || length >= systemDir.size())
        return std::nullopt;
    return std::string(systemDir.data(), length) + "\\" + ferrodin::kSetupProgram;
}

// Whether the driver's INF is there: a file, not a folder of that name. The path is in the ANSI code
// page, as GetModuleFileNameA gave it.
bool driverPresent(const std::string &infPath)
{
    const DWORD attributes = GetFileAttributesA(infPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct ErrorWindowSearch
{
    std::wstring title;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK matchErrorWindow(HWND window, LPARAM param)
{
    auto *search = reinterpret_cast<ErrorWindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId)
        return TRUE;
    // GetWindowTextW reads another process's caption without sending it a message.
    std::array<wchar_t, 64> text{};
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    if (length < 0 ||
        search->title.compare(0, std::wstring::npos, text.data(), static_cast<std::size_t>(length)) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// A top-level error window of the given process, looking for the titles in their order.
HWND findErrorWindowOf(DWORD processId)
{
    for (const ferrodin::CodedText &title : ferrodin::errorWindowTitles()) {
        ErrorWindowSearch search{fw::widen(title.bytes, title.codePage), processId, nullptr};
        EnumWindows(&matchErrorWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
    }
    return nullptr;
}

} // namespace

void detectLanguage()
{
    g_langKind = ferrodin::languageKindFor(GetSystemDefaultLangID());
}

void detectWindowsKind()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        return;
    std::optional<std::string> productName;
    if (ferrodin::needsProductName(version.dwPlatformId))
        productName = readProductName();
    g_osKind = ferrodin::windowsKindFor(g_osKind, version.dwPlatformId, productName);
}

int installDriver()
{
    const std::optional<std::string> path = modulePath();
    if (!path)
        return 0;
    // GetModuleFileNameA gives the path in the ANSI code page. Without the INF (the driver folder as
    // shipped, with only its README) there is nothing to hand to the setup service: no process, no
    // wait, the failure text.
    const UINT codePage = GetACP();
    const ferrodin::Command command = ferrodin::installCommand(
        g_osKind, *path, driverPresent(ferrodin::driverLocation(*path, codePage)), codePage);
    if (command.status != ferrodin::CommandStatus::Ready)
        return 0;
    const std::optional<std::string> program = setupProgramPath();
    if (!program)
        return 0;

    std::array<char, ferrodin::kCommandBufferSize> line{};
    std::memcpy(line.data(), command.line.c_str(), command.line.size() + 1);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program->c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 0;
    CloseHandle(process.hThread);

    // The dialog does not respond meanwhile; the start text stays on show.
    Sleep(ferrodin::kErrorWindowWaitMs);

    // Only the started process's own error window counts, and only that one is closed. The process
    // handle is held until here so that its id cannot pass to another process.
    HWND errorWindow = findErrorWindowOf(process.dwProcessId);
    if (errorWindow)
        SendMessageW(errorWindow, WM_CLOSE, 0, 0);
    CloseHandle(process.hProcess);
    return errorWindow ? 0 : 1;
}
