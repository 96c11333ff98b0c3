#include "installer_logic.h"

#include <cstring>

namespace ferrodin {

int languageKindFor(unsigned langId)
{
    switch (langId & 0xFFFFu) {
    case kLangIdChinesePrc:
        return kLangSimplified;
    case kLangIdChineseTaiwan:
        return kLangTraditional;
    default:
        return kLangEnglish;
    }
}

bool needsProductName(unsigned long platformId)
{
    return platformId == kPlatformNt;
}

int windowsKindFor(int currentKind, unsigned long platformId, const std::optional<std::string> &productName)
{
    if (platformId == kPlatformWin9x)
        return kOsWin9x;
    if (platformId != kPlatformNt || !productName)
        return currentKind;
    return productName->find("2000") != std::string::npos ? kOsWin2000 : kOsNtOther;
}

bool isLeadByte(unsigned char byte, unsigned codePage)
{
    switch (codePage) {
    case 932: // Japanese (Shift-JIS)
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936: // Simplified Chinese (GBK)
    case 949: // Korean
    case 950: // Traditional Chinese (Big5)
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

std::string programFolder(const std::string &modulePath, unsigned codePage)
{
    // The folder ends where the run of backslashes holding the last one starts. Characters are
    // walked whole, so a trailing byte of 0x5C never counts as a backslash.
    std::size_t folderEnd = std::string::npos;
    bool afterBackslash = false;
    for (std::size_t i = 0; i < modulePath.size(); ++i) {
        const char byte = modulePath[i];
        if (byte == '\\') {
            if (!afterBackslash)
                folderEnd = i;
            afterBackslash = true;
            continue;
        }
        afterBackslash = false;
        if (isLeadByte(static_cast<unsigned char>(byte), codePage) && i + 1 < modulePath.size())
            ++i;
    }
    return folderEnd == std::string::npos ? std::string() : modulePath.substr(0, folderEnd);
}

std::string driverLocation(const std::string &modulePath, unsigned codePage)
{
    return programFolder(modulePath, codePage) + kDriverSubPath;
}

const char *commandPrefix(int osKind)
{
    switch (osKind) {
    case kOsWin9x:
        return "rundll32.exe setupapi.dll,InstallHinfSection ComPort 128 ";
    case kOsWin2000:
    case kOsNtOther:
        return "rundll32.exe setupapi.dll,InstallHinfSection ComPort.NT 128 ";
    default:
        return nullptr;
    }
}

Command composeCommand(int osKind, const std::string &modulePath, unsigned codePage)
{
    Command command;
    const char *prefix = commandPrefix(osKind);
    if (!prefix)
        return command;
    std::string line = prefix + driverLocation(modulePath, codePage);
    if (line.size() + 1 > kCommandBufferSize) {
        command.status = CommandStatus::TooLong;
        return command;
    }
    command.status = CommandStatus::Ready;
    command.line = std::move(line);
    return command;
}

Command installCommand(int osKind, const std::string &modulePath, bool driverPresent, unsigned codePage)
{
    Command command = composeCommand(osKind, modulePath, codePage);
    if (command.status == CommandStatus::Ready && !driverPresent) {
        command.status = CommandStatus::DriverMissing;
        command.line.clear();
    }
    return command;
}

std::size_t longestFolderFor(int osKind)
{
    const char *prefix = commandPrefix(osKind);
    if (!prefix)
        return 0;
    return kCommandBufferSize - 1 - std::strlen(prefix) - std::strlen(kDriverSubPath);
}

Point minimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return Point{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

} // namespace ferrodin
