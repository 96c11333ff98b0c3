// Ferrodin's decisions: language, Windows kind, driver location, command line and its buffer limit,
// the texts in their code pages and the minimised icon's position. Plain C++: the logic knows no Qt.
#include "installer_logic.h"

#include <iconv.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace ferrodin;

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const std::string &name, const std::string &detail = std::string())
{
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL: %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
}

std::string visible(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "\"" + out + "\"";
}

void checkEqual(const std::string &actual, const std::string &expected, const std::string &name)
{
    check(actual == expected, name, "got " + visible(actual) + ", want " + visible(expected));
}

void checkEqual(long long actual, long long expected, const std::string &name)
{
    check(actual == expected, name, "got " + std::to_string(actual) + ", want " + std::to_string(expected));
}

// Decodes bytes of a code page to UTF-8 with glibc's converters.
std::optional<std::string> decode(const std::string &bytes, unsigned codePage)
{
    const char *charset = codePage == 936    ? "GBK"
                          : codePage == 950  ? "BIG5"
                          : codePage == 1252 ? "CP1252"
                                             : nullptr;
    if (!charset)
        return std::nullopt;
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input = bytes;
    std::vector<char> output(input.size() * 4 + 16);
    char *in = input.data();
    char *out = output.data();
    std::size_t inLeft = input.size();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    return std::string(output.data(), output.size() - outLeft);
}

void testLanguage()
{
    struct Row
    {
        unsigned langId;
        int kind;
    };
    const Row rows[] = {
        {0x0804, kLangSimplified}, {0x0404, kLangTraditional}, {0x0C04, kLangEnglish}, {0x0409, kLangEnglish},
        {0x1004, kLangEnglish},    {0x0000, kLangEnglish},     {0x0407, kLangEnglish},
    };
    for (const Row &row : rows) {
        char name[64];
        std::snprintf(name, sizeof name, "languageKindFor(0x%04X)", row.langId);
        checkEqual(languageKindFor(row.langId), row.kind, name);
    }
}

void testWindowsKind()
{
    struct Row
    {
        const char *name;
        int current;
        unsigned long platform;
        std::optional<std::string> product;
        int kind;
    };
    const Row rows[] = {
        {"Windows 98", kOsInitial, 1, std::nullopt, kOsWin9x},
        {"platform 1 ignores the product name", kOsInitial, 1, std::string("Windows 2000"), kOsWin9x},
        {"Windows 2000", kOsInitial, 2, std::string("Microsoft Windows 2000"), kOsWin2000},
        {"2000 anywhere in the name", kOsInitial, 2, std::string("Windows2000Server"), kOsWin2000},
        {"Windows XP", kOsInitial, 2, std::string("Microsoft Windows XP"), kOsNtOther},
        {"Windows 10", kOsInitial, 2, std::string("Windows 10 Pro"), kOsNtOther},
        {"200 is not 2000", kOsInitial, 2, std::string("Windows 200"), kOsNtOther},
        {"product name unreadable", kOsInitial, 2, std::string(), kOsNtOther},
        {"registry key does not open", kOsInitial, 2, std::nullopt, kOsUnknown},
        {"platform 0 (Win32s)", kOsInitial, 0, std::nullopt, kOsUnknown},
        {"platform 3 (CE)", kOsInitial, 3, std::string("Windows 2000"), kOsUnknown},
        {"unknown platform keeps the kind", kOsNtOther, 7, std::nullopt, kOsNtOther},
    };
    for (const Row &row : rows)
        checkEqual(windowsKindFor(row.current, row.platform, row.product), row.kind,
                   std::string("windowsKindFor: ") + row.name);
    check(needsProductName(2) && !needsProductName(1) && !needsProductName(0) && !needsProductName(3),
          "only the NT platform reads the product name");
}

void testDriverLocation()
{
    struct Row
    {
        const char *modulePath;
        const char *folder;
    };
    const Row rows[] = {
        {"E:\\Tools\\Ferrodin.exe", "E:\\Tools"},
        {"E:\\Tools\\\\\\Ferrodin.exe", "E:\\Tools"},
        {"C:\\Program Files\\Quorvane\\Ferrodin.exe", "C:\\Program Files\\Quorvane"},
        {"C:\\Ferrodin.exe", "C:"},
        {"Ferrodin.exe", ""},
    };
    for (const Row &row : rows) {
        checkEqual(programFolder(row.modulePath), row.folder, std::string("programFolder ") + row.modulePath);
        checkEqual(driverLocation(row.modulePath),
                   std::string(row.folder) + "\\98ME_20011_2kXP_20024\\Serwpl.inf",
                   std::string("driverLocation ") + row.modulePath);
    }
}

// Paths in the double-byte ANSI code pages: a character's second byte may be 0x5C and is no
// backslash, neither the last one nor a trailing one.
void testDoubleByteFolder()
{
    struct Row
    {
        const char *name;
        const char *modulePath;
        unsigned codePage;
        const char *folder;
    };
    const Row rows[] = {
        // Big5 "\xA5\x5C" is one character; its second byte must stay.
        {"Big5 folder ending in 0x5C", "C:\\\xA5\x5C\\Ferrodin.exe", 950, "C:\\\xA5\x5C"},
        {"Big5 folder, trailing backslashes", "C:\\\xA5\x5C\\\\\\Ferrodin.exe", 950, "C:\\\xA5\x5C"},
        {"Big5 program name with 0x5C", "C:\\Tools\\\xA5\x5C.exe", 950, "C:\\Tools"},
        {"GBK folder ending in 0x5C", "D:\\\x81\x5C\\Ferrodin.exe", 936, "D:\\\x81\x5C"},
        {"Shift-JIS folder ending in 0x5C", "D:\\\x95\x5C\\Ferrodin.exe", 932, "D:\\\x95\x5C"},
        {"Shift-JIS single-byte kana is no lead byte", "D:\\\xB1\\Ferrodin.exe", 932, "D:\\\xB1"},
        {"Korean folder ending in 0x5C", "D:\\\xB0\x5C\\Ferrodin.exe", 949, "D:\\\xB0\x5C"},
        // In a single-byte code page 0xA5 is a character of its own and 0x5C a backslash.
        {"single-byte code page", "C:\\\xA5\\Ferrodin.exe", 1252, "C:\\\xA5"},
        {"lead byte at the very end", "C:\\Tools\\\xA5", 950, "C:\\Tools"},
    };
    for (const Row &row : rows) {
        checkEqual(programFolder(row.modulePath, row.codePage), row.folder,
                   std::string("programFolder: ") + row.name);
        checkEqual(composeCommand(kOsNtOther, row.modulePath, row.codePage).line,
                   std::string(commandPrefix(kOsNtOther)) + row.folder + kDriverSubPath,
                   std::string("composeCommand: ") + row.name);
    }
}

void testCommandLine()
{
    const std::string win9x = "rundll32.exe setupapi.dll,InstallHinfSection ComPort 128 ";
    const std::string nt = "rundll32.exe setupapi.dll,InstallHinfSection ComPort.NT 128 ";
    const std::string tools = "E:\\Tools\\98ME_20011_2kXP_20024\\Serwpl.inf";

    Command command = composeCommand(kOsWin9x, "E:\\Tools\\Ferrodin.exe");
    check(command.status == CommandStatus::Ready, "Windows 98 command is ready");
    checkEqual(command.line, win9x + tools, "Windows 98 command");

    command = composeCommand(kOsWin2000, "E:\\Tools\\\\Ferrodin.exe");
    checkEqual(command.line, nt + tools, "Windows 2000 command, trailing backslash dropped");
    command = composeCommand(kOsNtOther, "E:\\Tools\\Ferrodin.exe");
    checkEqual(command.line, nt + tools, "Windows XP command");

    for (int kind : {kOsUnknown, 0, 5, -1}) {
        command = composeCommand(kind, "E:\\Tools\\Ferrodin.exe");
        check(command.status == CommandStatus::NotAttempted && command.line.empty(),
              "no command for Windows kind " + std::to_string(kind));
    }
}

// A driver folder without Serwpl.inf (as shipped: only its README) starts nothing, for every Windows
// kind that installs; with the INF the command is the one composeCommand makes.
void testDriverMissing()
{
    const std::string program = "C:\\Program Files\\Quorvane\\Ferrodin.exe";
    for (int kind : {kOsWin9x, kOsWin2000, kOsNtOther}) {
        const std::string name = "Windows kind " + std::to_string(kind);
        const Command missing = installCommand(kind, program, false);
        check(missing.status == CommandStatus::DriverMissing && missing.line.empty(),
              name + ": no INF, no command");
        const Command present = installCommand(kind, program, true);
        check(present.status == CommandStatus::Ready, name + ": with the INF the command is ready");
        checkEqual(present.line, composeCommand(kind, program).line,
                   name + ": with the INF, the same command");
    }
    // A kind that installs nothing stays "not attempted", INF or none.
    for (bool driver : {false, true}) {
        const Command command = installCommand(kOsUnknown, program, driver);
        check(command.status == CommandStatus::NotAttempted && command.line.empty(),
              std::string("unknown Windows kind, INF ") + (driver ? "present" : "missing"));
    }
    // A folder too long for the buffer stays too long; the double-byte folder rule still holds.
    const std::string longPath = "C:\\" + std::string(200, 'd') + "\\Ferrodin.exe";
    check(installCommand(kOsNtOther, longPath, true).status == CommandStatus::TooLong,
          "too long with the INF");
    check(installCommand(kOsNtOther, longPath, false).status != CommandStatus::Ready,
          "too long without the INF");
    checkEqual(installCommand(kOsNtOther, "D:\\\x81\x5C\\Ferrodin.exe", true, 936).line,
               std::string(commandPrefix(kOsNtOther)) + "D:\\\x81\x5C" + kDriverSubPath,
               "GBK folder ending in 0x5C, with the INF");
}

std::string folderOfLength(std::size_t length)
{
    return "C:\\" + std::string(length - 3, 'd');
}

void testBufferLimit()
{
    checkEqual(static_cast<long long>(longestFolderFor(kOsWin9x)), 165, "longest folder, ComPort");
    checkEqual(static_cast<long long>(longestFolderFor(kOsWin2000)), 162,
               "longest folder, ComPort.NT (2000)");
    checkEqual(static_cast<long long>(longestFolderFor(kOsNtOther)), 162, "longest folder, ComPort.NT");
    checkEqual(static_cast<long long>(longestFolderFor(kOsUnknown)), 0, "longest folder, no installation");

    struct Row
    {
        int kind;
        std::size_t folderLength;
        std::size_t trailingBackslashes;
        CommandStatus status;
    };
    const Row rows[] = {
        {kOsNtOther, 162, 0, CommandStatus::Ready},
        {kOsNtOther, 163, 0, CommandStatus::TooLong},
        {kOsWin2000, 162, 0, CommandStatus::Ready},
        {kOsWin2000, 163, 0, CommandStatus::TooLong},
        {kOsWin9x, 165, 0, CommandStatus::Ready},
        {kOsWin9x, 166, 0, CommandStatus::TooLong},
        {kOsWin9x, 163, 0, CommandStatus::Ready},
        {kOsNtOther, 200, 0, CommandStatus::TooLong},
        {kOsNtOther, 1000, 0, CommandStatus::TooLong},
        {kOsWin9x, 4000, 0, CommandStatus::TooLong},
        // Trailing backslashes are dropped before the length counts.
        {kOsNtOther, 162, 5, CommandStatus::Ready},
    };
    for (const Row &row : rows) {
        const std::string path = folderOfLength(row.folderLength) +
                                 std::string(row.trailingBackslashes + 1, '\\') + "Ferrodin.exe";
        const Command command = composeCommand(row.kind, path);
        const std::string name = "kind " + std::to_string(row.kind) + ", folder of " +
                                 std::to_string(row.folderLength) + " characters";
        check(command.status == row.status, name, "unexpected status");
        if (row.status == CommandStatus::Ready) {
            check(command.line.size() + 1 <= kCommandBufferSize, name + " fits the buffer");
            checkEqual(command.line,
                       commandPrefix(row.kind) + folderOfLength(row.folderLength) + kDriverSubPath,
                       name + " line");
        } else {
            check(command.line.empty(), name + " composes nothing");
        }
    }
    const Command fullest = composeCommand(kOsNtOther, folderOfLength(162) + "\\Ferrodin.exe");
    checkEqual(static_cast<long long>(fullest.line.size()), 255,
               "the fullest command leaves room for its zero");
}

void testTexts()
{
    struct Row
    {
        int lang;
        Moment moment;
        unsigned codePage;
        const char *utf8;
    };
    const Row rows[] = {
        {kLangEnglish, Moment::Start, 1252, "\nUSB Driver install ......"},
        {kLangEnglish, Moment::Success, 1252, "\nUSB Driver installed! "},
        {kLangEnglish, Moment::Failure, 1252, "Auto-install failed, \n\nPlease install USB Driver manually!"},
        {kLangSimplified, Moment::Start, 936, "\n正在安装。。。。。。"},
        {kLangSimplified, Moment::Success, 936, "\nUSB驱动安装完成！"},
        {kLangSimplified, Moment::Failure, 936, "自动安装失败，\n\n请手动安装USB驱动程序！"},
        {kLangTraditional, Moment::Start, 950, "\n正在安裝……"},
        {kLangTraditional, Moment::Success, 950, "\nUSB驅動安裝完成！"},
        {kLangTraditional, Moment::Failure, 950, "自動安裝失敗，\n\n請手動安裝USB驅動程式！"},
    };
    for (const Row &row : rows) {
        const CodedText text = statusText(row.lang, row.moment);
        const std::string name =
            "text " + std::to_string(row.lang) + "/" + std::to_string(static_cast<int>(row.moment));
        checkEqual(text.codePage, row.codePage, name + " code page");
        const std::optional<std::string> decoded = decode(text.bytes, text.codePage);
        check(decoded.has_value(), name + " decodes");
        if (decoded)
            checkEqual(*decoded, row.utf8, name);
    }
    // A language kind out of range falls back to English rather than reading past the table.
    checkEqual(statusText(0, Moment::Start).bytes, "\nUSB Driver install ......", "language 0 gets English");
    checkEqual(statusText(9, Moment::Failure).bytes,
               "Auto-install failed, \n\nPlease install USB Driver manually!", "language 9 gets English");

    const auto &titles = errorWindowTitles();
    checkEqual(titles[0].bytes, "\xB4\xED\xCE\xF3", "first error title: GBK bytes");
    checkEqual(titles[1].bytes, "\xBF\xF9\xBB\x7E", "second error title: Big5 bytes");
    checkEqual(titles[2].bytes, "Error", "third error title");
    const char *utf8Titles[] = {"错误", "錯誤", "Error"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::optional<std::string> decoded = decode(titles[i].bytes, titles[i].codePage);
        checkEqual(decoded.value_or("<undecodable>"), utf8Titles[i], "error title " + std::to_string(i));
    }
}

void testIconOrigin()
{
    struct Row
    {
        int cw, ch, iw, ih, x, y;
    };
    const Row rows[] = {
        {100, 50, 32, 32, 34, 9}, {33, 33, 32, 32, 1, 1},    {32, 32, 32, 32, 0, 0},
        {16, 16, 16, 16, 0, 0},   {20, 10, 32, 32, -5, -10}, {0, 0, 32, 32, -15, -15},
    };
    for (const Row &row : rows) {
        const Point p = minimisedIconOrigin(row.cw, row.ch, row.iw, row.ih);
        const std::string name = "icon origin in " + std::to_string(row.cw) + "x" + std::to_string(row.ch);
        checkEqual(p.x, row.x, name + " x");
        checkEqual(p.y, row.y, name + " y");
    }
}

} // namespace

int main()
{
    testLanguage();
    testWindowsKind();
    testDriverLocation();
    testDoubleByteFolder();
    testCommandLine();
    testDriverMissing();
    testBufferLimit();
    testTexts();
    testIconOrigin();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
