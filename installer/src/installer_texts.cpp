// The dialog's texts and the error window titles, each stored as bytes in the code page of its
// language: GBK (936) for Simplified Chinese, Big5 (950) for Traditional Chinese.
#include "installer_logic.h"

namespace ferrodin {

namespace {

constexpr unsigned kCpGbk = 936;
constexpr unsigned kCpBig5 = 950;
constexpr unsigned kCpEnglish = 1252;

struct LanguageTexts
{
    CodedText start;
    CodedText success;
    CodedText failure;
};

// Indexed by language kind - 1. Separate string literals keep a hex escape from swallowing a
// following letter that happens to be a hex digit.
const LanguageTexts kTexts[] = {
    // Simplified Chinese
    {
        {"\n\xD5\xFD\xD4\xDA\xB0\xB2\xD7\xB0\xA1\xA3\xA1\xA3\xA1\xA3\xA1\xA3\xA1\xA3\xA1\xA3", kCpGbk},
        {"\nUSB\xC7\xFD\xB6\xAF\xB0\xB2\xD7\xB0\xCD\xEA\xB3\xC9\xA3\xA1", kCpGbk},
        {"\xD7\xD4\xB6\xAF\xB0\xB2\xD7\xB0\xCA\xA7\xB0\xDC\xA3\xAC\n\n"
         "\xC7\xEB\xCA\xD6\xB6\xAF\xB0\xB2\xD7\xB0USB\xC7\xFD\xB6\xAF\xB3\xCC\xD0\xF2\xA3\xA1",
         kCpGbk},
    },
    // Traditional Chinese
    {
        {"\n\xA5\xBF\xA6"
         "b\xA6w\xB8\xCB\xA1K\xA1K",
         kCpBig5},
        {"\nUSB\xC5X\xB0\xCA\xA6w\xB8\xCB\xA7\xB9\xA6\xA8\xA1I", kCpBig5},
        {"\xA6\xDB\xB0\xCA\xA6w\xB8\xCB\xA5\xA2\xB1\xD1\xA1"
         "A\n\n"
         "\xBD\xD0\xA4\xE2\xB0\xCA\xA6w\xB8\xCBUSB\xC5X\xB0\xCA\xB5{\xA6\xA1\xA1I",
         kCpBig5},
    },
    // English
    {
        {"\nUSB Driver install ......", kCpEnglish},
        {"\nUSB Driver installed! ", kCpEnglish},
        {"Auto-install failed, \n\nPlease install USB Driver manually!", kCpEnglish},
    },
};

const std::array<CodedText, 3> kErrorTitles = {{
    {"\xB4\xED\xCE\xF3", kCpGbk}, // Simplified Chinese "error"
    {"\xBF\xF9\xBB~", kCpBig5},   // Traditional Chinese "error"
    {"Error", kCpEnglish},
}};

} // namespace

CodedText statusText(int langKind, Moment moment)
{
    const int index =
        (langKind >= kLangSimplified && langKind <= kLangEnglish) ? langKind - 1 : kLangEnglish - 1;
    const LanguageTexts &texts = kTexts[index];
    switch (moment) {
    case Moment::Start:
        return texts.start;
    case Moment::Success:
        return texts.success;
    case Moment::Failure:
        break;
    }
    return texts.failure;
}

const std::array<CodedText, 3> &errorWindowTitles()
{
    return kErrorTitles;
}

} // namespace ferrodin
