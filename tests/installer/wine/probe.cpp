// Drives the real Ferrodin.exe (or its test-hook build) under Wine and checks what its dialog shows.
//   probe resources <exe>
//   probe success <exe>                      no error window: the success text, about 3 s after start
//   probe unrelated-error <exe> <stand-in>   another program's "Error" box stays open and does not count
//   probe setup-error <hook-exe> <stand-in> en|gbk|big5
//                                            the started program's error box: failure text, box closed
//   probe too-long <hook-exe> <stand-in>     a command line over 255 bytes: failure text, nothing started
//   probe planted <exe> <stand-in>           a rundll32.exe beside the program is never run
//   probe early-ok <hook-exe> <stand-in>     OK before the timer: the dialog ends, nothing started
//   probe driver-missing <hook-exe> <stand-in>
//                                            a driver folder with only its README: failure text in the
//                                            system's language without the wait, nothing started
//   probe double-byte-folder <hook-exe> <stand-in>
//                                            a folder ending in a GBK character whose second byte is
//                                            0x5C is passed on whole
#include "probe.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

namespace probe {
void checkResources(const std::wstring &exe);
}

using namespace probe;

namespace {

const wchar_t *const kDialogTitle = L"USB DRIVER SETUP";
const int kStatusControl = 1000;

struct Texts
{
    const wchar_t *start;
    const wchar_t *success;
    const wchar_t *failure;
};

// What the dialog must show for the language Wine reports.
Texts expectedTexts()
{
    switch (GetSystemDefaultLangID()) {
    case 0x0804:
        return {L"\n正在安装。。。。。。", L"\nUSB驱动安装完成！",
                L"自动安装失败，\n\n请手动安装USB驱动程序！"};
    case 0x0404:
        return {L"\n正在安裝……", L"\nUSB驅動安裝完成！", L"自動安裝失敗，\n\n請手動安裝USB驅動程式！"};
    default:
        return {L"\nUSB Driver install ......", L"\nUSB Driver installed! ",
                L"Auto-install failed, \n\nPlease install USB Driver manually!"};
    }
}

void setEnv(const wchar_t *name, const std::wstring &value)
{
    SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

// The environment Ferrodin and the stand-in inherit.
void prepareEnvironment(const std::wstring &setupProgram, const std::wstring &title,
                        const std::wstring &record)
{
    setEnv(L"FERRODIN_TEST_SETUP_PROGRAM", setupProgram);
    setEnv(L"STANDIN_TITLE", title);
    setEnv(L"STANDIN_RECORD", record);
}

std::wstring tempPath(const std::wstring &name)
{
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"ferrodin-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
}

bool fileExists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const wchar_t *const kDriverFolder = L"98ME_20011_2kXP_20024";

// Copies the program into `folder`, with the driver folder beside it as the build tree has it (a
// stand-in Serwpl.inf; tests/installer/wine/CMakeLists.txt places it beside the built programs).
// withDriver false: the driver folder holds only a README, as the bundles ship it.
bool copyProgram(const std::wstring &exe, const std::wstring &folder, bool withDriver = true)
{
    const std::wstring copy = folder + L"\\" + fileNameOf(exe);
    const std::wstring drivers = folder + L"\\" + kDriverFolder;
    CreateDirectoryW(drivers.c_str(), nullptr);
    bool ok = CopyFileW(exe.c_str(), copy.c_str(), FALSE) != FALSE;
    if (withDriver) {
        const std::wstring inf = directoryOf(exe) + L"\\" + kDriverFolder + L"\\Serwpl.inf";
        ok = ok && CopyFileW(inf.c_str(), (drivers + L"\\Serwpl.inf").c_str(), FALSE) != FALSE;
    } else {
        HANDLE readme = CreateFileW((drivers + L"\\README.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ok = ok && readme != INVALID_HANDLE_VALUE;
        if (readme != INVALID_HANDLE_VALUE) {
            const char text[] = "The adapter's driver package goes here.\r\n";
            DWORD written = 0;
            WriteFile(readme, text, sizeof text - 1, &written, nullptr);
            CloseHandle(readme);
        }
    }
    return ok;
}

// Removes what copyProgram made in `folder` (the folder itself stays).
void removeProgramCopy(const std::wstring &folder, const std::wstring &exe)
{
    const std::wstring drivers = folder + L"\\" + kDriverFolder;
    DeleteFileW((drivers + L"\\Serwpl.inf").c_str());
    DeleteFileW((drivers + L"\\README.txt").c_str());
    RemoveDirectoryW(drivers.c_str());
    DeleteFileW((folder + L"\\" + fileNameOf(exe)).c_str());
}

// The stand-in's record: its process id, a line feed, its command line.
bool readRecord(const std::wstring &path, DWORD *processId, std::wstring *commandLine)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<wchar_t> buffer(4096);
    DWORD read = 0;
    ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    const std::wstring text(buffer.data(), read / sizeof(wchar_t));
    const std::size_t newline = text.find(L'\n');
    if (newline == std::wstring::npos)
        return false;
    *processId = static_cast<DWORD>(std::stoul(text.substr(0, newline)));
    *commandLine = text.substr(newline + 1);
    return true;
}

// One run of the installer up to its outcome.
struct Run
{
    Process process;
    HWND dialog = nullptr;
    DWORD shownAt = 0;
    DWORD outcomeAt = 0;
    std::wstring outcome;
};

bool showDialog(const std::wstring &exe, const std::wstring &directory, Run &run)
{
    check(run.process.start(exe, directory), "the installer starts");
    run.dialog = waitForWindowOf(run.process.id(), kDialogTitle, 20000);
    run.shownAt = now();
    check(run.dialog != nullptr, "its dialog \"USB DRIVER SETUP\" appears");
    if (!run.dialog)
        return false;
    const std::wstring first = controlText(run.dialog, kStatusControl);
    check(first == expectedTexts().start, "the dialog starts with the start text: " + narrow(first));
    return true;
}

bool runToOutcome(const std::wstring &exe, const std::wstring &directory, Run &run)
{
    if (!showDialog(exe, directory, run))
        return false;
    const std::wstring start = expectedTexts().start;
    while (now() - run.shownAt < 20000) {
        const std::wstring text = controlText(run.dialog, kStatusControl);
        if (text != start) {
            run.outcomeAt = now();
            run.outcome = text;
            return true;
        }
        Sleep(20);
    }
    check(false, "the start text gives way to an outcome");
    return false;
}

DWORD outcomeDelay(const Run &run)
{
    return run.outcomeAt - run.shownAt;
}

enum class CloseBy
{
    Ok,
    Escape,
    CloseBox,
};

void closeDialog(Run &run, CloseBy how)
{
    HWND ok = GetDlgItem(run.dialog, IDOK);
    switch (how) {
    case CloseBy::Ok:
        PostMessageW(run.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        break;
    case CloseBy::Escape:
        PostMessageW(ok, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        break;
    case CloseBy::CloseBox:
        PostMessageW(run.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    DWORD exitCode = 1;
    const bool ended = run.process.waitForExit(5000, &exitCode);
    check(ended && exitCode == 0, "closing the dialog ends the program");
}

std::wstring expectedCommand(const std::wstring &folder)
{
    // Wine reports the NT platform and a product name without "2000".
    return L"rundll32.exe setupapi.dll,InstallHinfSection ComPort.NT 128 " + folder +
           L"\\98ME_20011_2kXP_20024\\Serwpl.inf";
}

bool processEnds(DWORD processId, DWORD timeoutMs)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return true; // already gone
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

void closeDecoy(Process &decoy)
{
    if (HWND box = findWindowOf(decoy.id(), L"Error"))
        PostMessageW(box, WM_CLOSE, 0, 0);
    decoy.waitForExit(5000);
}

int success(const std::wstring &exe)
{
    prepareEnvironment(L"", L"", L"");
    Run run;
    if (runToOutcome(exe, L"", run)) {
        check(run.outcome == expectedTexts().success, "the success text follows: " + narrow(run.outcome));
        check(outcomeDelay(run) >= 2500 && outcomeDelay(run) < 12000,
              "the outcome comes after the one-second start and the two-second wait (" +
                  std::to_string(outcomeDelay(run)) + " ms)");
        closeDialog(run, CloseBy::Ok);
    }
    return finish();
}

int unrelatedError(const std::wstring &exe, const std::wstring &standin)
{
    Process decoy;
    prepareEnvironment(L"", L"Error", L"");
    check(decoy.start(standin), "another program starts");
    check(waitForWindowOf(decoy.id(), L"Error", 20000) != nullptr, "it shows a box titled \"Error\"");

    prepareEnvironment(L"", L"", L"");
    Run run;
    if (runToOutcome(exe, L"", run)) {
        check(run.outcome == expectedTexts().success,
              "the other program's box does not count: " + narrow(run.outcome));
        check(findWindowOf(decoy.id(), L"Error") != nullptr && decoy.running(),
              "the other program's box is left open");
        closeDialog(run, CloseBy::CloseBox);
    }
    closeDecoy(decoy);
    return finish();
}

int setupError(const std::wstring &hookExe, const std::wstring &standin, const std::string &titleKey)
{
    const std::wstring title = titleKey == "gbk" ? L"错误" : titleKey == "big5" ? L"錯誤" : L"Error";
    Process decoy;
    prepareEnvironment(L"", L"Error", L"");
    check(decoy.start(standin), "another program starts");
    check(waitForWindowOf(decoy.id(), L"Error", 20000) != nullptr, "it shows a box titled \"Error\"");

    const std::wstring record = tempPath(L"record.txt");
    DeleteFileW(record.c_str());
    prepareEnvironment(standin, title, record);
    Run run;
    if (runToOutcome(hookExe, L"", run)) {
        check(run.outcome == expectedTexts().failure, "the failure text follows: " + narrow(run.outcome));
        check(outcomeDelay(run) >= 2500,
              "after the two-second wait (" + std::to_string(outcomeDelay(run)) + " ms)");
        DWORD setupId = 0;
        std::wstring commandLine;
        check(readRecord(record, &setupId, &commandLine), "the setup program was started");
        check(lstrcmpiW(commandLine.c_str(), expectedCommand(directoryOf(hookExe)).c_str()) == 0,
              "with the command line " + narrow(commandLine));
        check(processEnds(setupId, 5000), "its error box " + narrow(title) + " was closed and it ended");
        check(findWindowOf(decoy.id(), L"Error") != nullptr && decoy.running(),
              "another program's \"Error\" box is left open");
        closeDialog(run, CloseBy::Escape);
    }
    closeDecoy(decoy);
    DeleteFileW(record.c_str());
    return finish();
}

// A copy of the program in a folder of exactly `length` characters.
std::wstring copyIntoFolderOfLength(const std::wstring &exe, const std::wstring &base, std::size_t length)
{
    std::wstring folder = base + L"\\";
    folder += std::wstring(length - folder.size(), L'f');
    CreateDirectoryW(folder.c_str(), nullptr);
    copyProgram(exe, folder);
    return folder + L"\\" + fileNameOf(exe);
}

void removeCopy(const std::wstring &copy)
{
    removeProgramCopy(directoryOf(copy), copy);
    RemoveDirectoryW(directoryOf(copy).c_str());
}

int tooLong(const std::wstring &hookExe, const std::wstring &standin)
{
    const std::wstring base = tempPath(L"long");
    CreateDirectoryW(base.c_str(), nullptr);
    const std::wstring record = tempPath(L"record.txt");

    // 163 characters: the command line would need 257 bytes.
    DeleteFileW(record.c_str());
    prepareEnvironment(standin, L"Stand-in", record);
    const std::wstring tooLongCopy = copyIntoFolderOfLength(hookExe, base, 163);
    {
        Run run;
        if (runToOutcome(tooLongCopy, L"", run)) {
            check(run.outcome == expectedTexts().failure,
                  "folder of 163 characters: failure text " + narrow(run.outcome));
            check(outcomeDelay(run) < 2000,
                  "shown without the two-second wait (" + std::to_string(outcomeDelay(run)) + " ms)");
            Sleep(1000);
            check(!fileExists(record), "no process was started");
            closeDialog(run, CloseBy::Ok);
        }
    }
    removeCopy(tooLongCopy);

    // 162 characters: the longest that fits; the stand-in runs and shows no error title.
    DeleteFileW(record.c_str());
    const std::wstring fullestCopy = copyIntoFolderOfLength(hookExe, base, 162);
    {
        Run run;
        if (runToOutcome(fullestCopy, L"", run)) {
            check(run.outcome == expectedTexts().success,
                  "folder of 162 characters: success text " + narrow(run.outcome));
            DWORD setupId = 0;
            std::wstring commandLine;
            check(readRecord(record, &setupId, &commandLine) && commandLine.size() == 255 &&
                      lstrcmpiW(commandLine.c_str(), expectedCommand(directoryOf(fullestCopy)).c_str()) == 0,
                  "the setup program got the whole 255-character command line");
            if (HWND box = findWindowOf(setupId, L"Stand-in"))
                PostMessageW(box, WM_CLOSE, 0, 0);
            closeDialog(run, CloseBy::Ok);
        }
    }
    removeCopy(fullestCopy);
    RemoveDirectoryW(base.c_str());
    DeleteFileW(record.c_str());
    return finish();
}

int planted(const std::wstring &exe, const std::wstring &standin)
{
    const std::wstring folder = tempPath(L"planted");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\" + fileNameOf(exe);
    const std::wstring plantedSetup = folder + L"\\rundll32.exe";
    check(copyProgram(exe, folder) && CopyFileW(standin.c_str(), plantedSetup.c_str(), FALSE),
          "a rundll32.exe is planted beside the program");
    const std::wstring record = tempPath(L"record.txt");
    DeleteFileW(record.c_str());
    prepareEnvironment(L"", L"Error", record);
    Run run;
    if (runToOutcome(copy, folder, run)) {
        check(!fileExists(record), "the planted rundll32.exe did not run");
        check(run.outcome == expectedTexts().success,
              "the system's setup program ran: " + narrow(run.outcome));
        closeDialog(run, CloseBy::Ok);
    }
    removeProgramCopy(folder, exe);
    DeleteFileW(plantedSetup.c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(record.c_str());
    return finish();
}

int doubleByteFolder(const std::wstring &hookExe, const std::wstring &standin)
{
    check(GetACP() == 936, "the ANSI code page is GBK (" + std::to_string(GetACP()) + ")");
    // U+4E57 is "\x81\x5C" in GBK: the folder's last byte is 0x5C.
    const std::wstring folder = tempPath(L"\u4E57");
    const bool made = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
    check(made, "the folder " + narrow(folder) + " is made (" + std::to_string(GetLastError()) + ")");
    const std::wstring copy = folder + L"\\" + fileNameOf(hookExe);
    check(copyProgram(hookExe, folder),
          "the program and its driver are copied into the folder (" + std::to_string(GetLastError()) + ")");
    const std::wstring record = tempPath(L"record.txt");
    DeleteFileW(record.c_str());
    prepareEnvironment(standin, L"Stand-in", record);
    Run run;
    if (runToOutcome(copy, L"", run)) {
        DWORD setupId = 0;
        std::wstring commandLine;
        const bool recorded = readRecord(record, &setupId, &commandLine);
        check(recorded && lstrcmpiW(commandLine.c_str(), expectedCommand(folder).c_str()) == 0,
              "the setup program got the whole folder: " + narrow(commandLine));
        if (HWND box = waitForWindowOf(setupId, L"Stand-in", 5000))
            PostMessageW(box, WM_CLOSE, 0, 0);
        processEnds(setupId, 5000);
        closeDialog(run, CloseBy::Ok);
    }
    removeProgramCopy(folder, hookExe);
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(record.c_str());
    return finish();
}

int driverMissing(const std::wstring &hookExe, const std::wstring &standin)
{
    const std::wstring folder = tempPath(L"no-driver");
    CreateDirectoryW(folder.c_str(), nullptr);
    check(copyProgram(hookExe, folder, false),
          "the program is copied beside a driver folder with only a README");
    const std::wstring copy = folder + L"\\" + fileNameOf(hookExe);
    const std::wstring record = tempPath(L"record.txt");
    DeleteFileW(record.c_str());
    // A stand-in that would show no error box: were it started, the outcome would read "installed".
    prepareEnvironment(standin, L"Stand-in", record);
    Run run;
    if (runToOutcome(copy, L"", run)) {
        check(run.outcome == expectedTexts().failure, "the failure text follows: " + narrow(run.outcome));
        check(outcomeDelay(run) < 2000,
              "shown without the two-second wait (" + std::to_string(outcomeDelay(run)) + " ms)");
        Sleep(1000);
        check(!fileExists(record), "no process was started");
        check(controlText(run.dialog, kStatusControl) == expectedTexts().failure, "the failure text stays");
        closeDialog(run, CloseBy::Ok);
    }
    removeProgramCopy(folder, hookExe);
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(record.c_str());
    return finish();
}

int earlyOk(const std::wstring &hookExe, const std::wstring &standin)
{
    const std::wstring record = tempPath(L"record.txt");
    DeleteFileW(record.c_str());
    prepareEnvironment(standin, L"Error", record);
    Run run;
    if (showDialog(hookExe, L"", run)) {
        const DWORD pressedAt = now() - run.shownAt;
        closeDialog(run, CloseBy::Ok);
        check(pressedAt < 900,
              "OK was pressed before the one-second timer (" + std::to_string(pressedAt) + " ms)");
        Sleep(1500);
        check(!fileExists(record), "no installation was attempted");
    }
    DeleteFileW(record.c_str());
    return finish();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: probe <scenario> <exe> [stand-in] [title]\n");
        return 2;
    }
    // The system language the test expects Wine to report (set by the test from LC_ALL/LANG).
    wchar_t langId[16] = {};
    if (GetEnvironmentVariableW(L"PROBE_LANGID", langId, 16) > 0) {
        const unsigned expected = static_cast<unsigned>(std::wcstoul(langId, nullptr, 0));
        check(GetSystemDefaultLangID() == expected, "the system language is " + narrow(langId));
    }
    const std::string scenario = argv[1];
    const std::wstring exe = windowsPath(argv[2]);
    const std::wstring standin = argc > 3 ? windowsPath(argv[3]) : std::wstring();
    if (scenario == "resources") {
        checkResources(exe);
        return finish();
    }
    if (scenario == "success")
        return success(exe);
    if (scenario == "unrelated-error" && argc > 3)
        return unrelatedError(exe, standin);
    if (scenario == "setup-error" && argc > 4)
        return setupError(exe, standin, argv[4]);
    if (scenario == "too-long" && argc > 3)
        return tooLong(exe, standin);
    if (scenario == "planted" && argc > 3)
        return planted(exe, standin);
    if (scenario == "early-ok" && argc > 3)
        return earlyOk(exe, standin);
    if (scenario == "driver-missing" && argc > 3)
        return driverMissing(exe, standin);
    if (scenario == "double-byte-folder" && argc > 3)
        return doubleByteFolder(exe, standin);
    std::fprintf(stderr, "unknown scenario or missing arguments: %s\n", scenario.c_str());
    return 2;
}
