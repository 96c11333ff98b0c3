/*
 * serialshim-run.exe PROGRAM [ARGS...]: a test tool of the Wine checks, never shipped.
 * Starts PROGRAM suspended, loads serialshim.dll (beside this launcher, or %SERIALSHIM_DLL%) into it
 * with a remote LoadLibraryW thread, resumes it, waits, and exits with its exit code (125: the DLL
 * could not be loaded, 126: PROGRAM could not be started). Standard handles are inherited.
 */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static const WCHAR *skip_arg0(const WCHAR *cmd)
{
    BOOL quoted = FALSE;
    while (*cmd && (quoted || (*cmd != ' ' && *cmd != '\t')))
    {
        if (*cmd == '"') quoted = !quoted;
        cmd++;
    }
    while (*cmd == ' ' || *cmd == '\t') cmd++;
    return cmd;
}

int wmain(int argc, WCHAR **argv)
{
    WCHAR dll[MAX_PATH], *cmd, *slash;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    void *remote;
    HANDLE th;
    DWORD code = 0, len;
    SIZE_T size;
    LPTHREAD_START_ROUTINE load;

    if (argc < 2)
    {
        fwprintf(stderr, L"usage: serialshim-run PROGRAM [ARGS...]\n");
        return 125;
    }
    len = GetEnvironmentVariableW(L"SERIALSHIM_DLL", dll, MAX_PATH);
    if (!len || len >= MAX_PATH)
    {
        GetModuleFileNameW(NULL, dll, MAX_PATH);
        slash = wcsrchr(dll, L'\\');
        wcscpy(slash ? slash + 1 : dll, L"serialshim.dll");
    }
    if (GetFileAttributesW(dll) == INVALID_FILE_ATTRIBUTES)
    {
        fwprintf(stderr, L"serialshim-run: %ls not found\n", dll);
        return 125;
    }

    cmd = _wcsdup(skip_arg0(GetCommandLineW()));
    memset(&si, 0, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessW(NULL, cmd, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL, &si, &pi))
    {
        fwprintf(stderr, L"serialshim-run: cannot start %ls (error %lu)\n", cmd, GetLastError());
        return 126;
    }

    size = (wcslen(dll) + 1) * sizeof(WCHAR);
    remote = VirtualAllocEx(pi.hProcess, NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    load = (LPTHREAD_START_ROUTINE)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
    if (!remote || !WriteProcessMemory(pi.hProcess, remote, dll, size, NULL) ||
        !(th = CreateRemoteThread(pi.hProcess, NULL, 0, load, remote, 0, NULL)))
    {
        fwprintf(stderr, L"serialshim-run: injection failed (error %lu)\n", GetLastError());
        TerminateProcess(pi.hProcess, 125);
        return 125;
    }
    WaitForSingleObject(th, INFINITE);
    GetExitCodeThread(th, &code);
    CloseHandle(th);
    if (!code)
    {
        fwprintf(stderr, L"serialshim-run: LoadLibraryW(%ls) failed in the child\n", dll);
        TerminateProcess(pi.hProcess, 125);
        return 125;
    }

    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return (int)code;
}
