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

std::string programFolder(const std::string &modulePath)
{
    const std::size_t lastSlash = modulePath.rfind('\\');
    std::string folder = lastSlash == std::string::npos ? std::string() : modulePath.substr(0, lastSlash);
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

std::string driverLocation(const std::string &modulePath)
{
    return programFolder(modulePath) + kDriverSubPath;
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

Command composeCommand(int osKind, const std::string &modulePath)
{
    Command command;
    const char *prefix = commandPrefix(osKind);
    if (!prefix)
        return command;
    std::string line = prefix + driverLocation(modulePath);
    if (line.size() + 1 > kCommandBufferSize) {
        command.status = CommandStatus::TooLong;
        return command;
    }
    command.status = CommandStatus::Ready;
    command.line = std::move(line);
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
