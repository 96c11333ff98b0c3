// Ferrodin's decisions, as pure functions of plain values. Nothing here calls the operating system:
// the Win32 side (platform_win32.cpp) gathers the values and applies the answers.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace ferrodin {

// Windows kinds (g_osKind).
constexpr int kOsWin9x = 1;   // platform identifier 1: Windows 95/98/Me
constexpr int kOsWin2000 = 2; // NT family, product name contains "2000"
constexpr int kOsNtOther = 3; // NT family, any other product name (or none could be read)
constexpr int kOsUnknown = 4; // initial value: no installation is attempted
constexpr int kOsInitial = kOsUnknown;

// Platform identifiers of OSVERSIONINFO.
constexpr unsigned long kPlatformWin9x = 1;
constexpr unsigned long kPlatformNt = 2;

// Text languages (g_langKind).
constexpr int kLangSimplified = 1;  // system language 0x0804, texts in code page 936 (GBK)
constexpr int kLangTraditional = 2; // system language 0x0404, texts in code page 950 (Big5)
constexpr int kLangEnglish = 3;     // any other system language
constexpr int kLangInitial = kLangSimplified;

constexpr unsigned kLangIdChinesePrc = 0x0804;
constexpr unsigned kLangIdChineseTaiwan = 0x0404;

// The command line is composed in a buffer of this many bytes, terminating zero included.
constexpr std::size_t kCommandBufferSize = 256;

constexpr unsigned kInstallTimerId = 1;
constexpr unsigned kInstallTimerPeriodMs = 1000; // deferred start after the dialog is shown
constexpr unsigned kErrorWindowWaitMs = 2000;    // time the setup service gets to show an error

constexpr const char *kDriverSubPath = "\\98ME_20011_2kXP_20024\\Serwpl.inf";
constexpr const char *kSetupProgram = "rundll32.exe";
constexpr const char *kProductNameKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char *kProductNameValue = "ProductName";

int languageKindFor(unsigned langId);

// Whether the Windows kind of this platform depends on the product name in the registry.
bool needsProductName(unsigned long platformId);

// The Windows kind after detection. productName is empty when the registry key could not be opened,
// and an empty string when the key opened but the value could not be read.
int windowsKindFor(int currentKind, unsigned long platformId, const std::optional<std::string> &productName);

// The ANSI code page of plain single-byte paths.
constexpr unsigned kSingleByteCodePage = 1252;

// Whether `byte` starts a two-byte character in the ANSI code page `codePage` (932, 936, 949, 950).
bool isLeadByte(unsigned char byte, unsigned codePage);

// The executable's folder: the path up to its last backslash, trailing backslashes removed. The path
// is in the ANSI code page `codePage`: in the double-byte code pages the second byte of a character
// may be 0x5C (Big5 "\xA5\x5C", GBK "\x81\x5C"), which is no backslash.
std::string programFolder(const std::string &modulePath, unsigned codePage = kSingleByteCodePage);

// The folder followed by the driver's INF path.
std::string driverLocation(const std::string &modulePath, unsigned codePage = kSingleByteCodePage);

// The command prefix of a Windows kind (each ends in one space), or nullptr when no installation is
// attempted for that kind.
const char *commandPrefix(int osKind);

enum class CommandStatus
{
    Ready,         // the command line fits its buffer
    NotAttempted,  // no installation for this Windows kind
    TooLong,       // the command line would not fit its buffer: nothing is started
    DriverMissing, // no INF at the driver location: nothing is started
};

struct Command
{
    CommandStatus status = CommandStatus::NotAttempted;
    std::string line; // set only when Ready; line.size() + 1 <= kCommandBufferSize
};

Command composeCommand(int osKind, const std::string &modulePath, unsigned codePage = kSingleByteCodePage);

// What the installation starts: composeCommand's answer, or DriverMissing when the Windows kind
// installs but driverPresent says there is no INF at driverLocation() (a driver folder that holds
// only its README). Like a Windows kind without installation, a missing driver starts no process and
// ends in the failure text without the wait for an error window.
Command installCommand(int osKind, const std::string &modulePath, bool driverPresent,
                       unsigned codePage = kSingleByteCodePage);

// Longest program folder whose command line still fits, for a Windows kind that installs.
std::size_t longestFolderFor(int osKind);

// A text as bytes in the code page of its language.
struct CodedText
{
    const char *bytes;
    unsigned codePage; // 936 (GBK), 950 (Big5) or 1252 (plain ASCII English)
};

enum class Moment
{
    Start,   // dialog start
    Success, // installation judged successful
    Failure, // installation failed or not attempted
};

CodedText statusText(int langKind, Moment moment);

// Titles of the setup service's error windows, in the order they are looked for.
const std::array<CodedText, 3> &errorWindowTitles();

struct Point
{
    int x;
    int y;
};

// Where the icon is drawn in a minimised dialog: centred, integer division truncated toward zero.
Point minimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

} // namespace ferrodin
