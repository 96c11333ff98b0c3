// Reads Ferrodin's resources out of the executable itself: the dialog template, the icon group and
// the picture, field by field.
#include "probe.h"

#include <cstdint>
#include <cstring>

namespace probe {

namespace {

// Walks a resource template: little-endian words, strings and ordinals, with DWORD alignment.
class Reader
{
public:
    Reader(const BYTE *data, DWORD size) : m_data(data), m_size(size) {}
    bool ok() const { return m_ok; }
    uint16_t word()
    {
        uint16_t value = 0;
        take(&value, sizeof value);
        return value;
    }
    uint32_t dword()
    {
        uint32_t value = 0;
        take(&value, sizeof value);
        return value;
    }
    int16_t shortValue() { return static_cast<int16_t>(word()); }
    // A string or an ordinal (0xFFFF followed by a number, given as "#number").
    std::wstring stringOrOrdinal()
    {
        const uint16_t first = word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(word());
        std::wstring text;
        for (uint16_t c = first; c != 0 && m_ok; c = word())
            text += static_cast<wchar_t>(c);
        return text;
    }
    void alignDword() { m_pos = (m_pos + 3) & ~static_cast<DWORD>(3); }
    void skip(DWORD bytes) { m_pos += bytes; }

private:
    void take(void *out, DWORD bytes)
    {
        if (m_pos + bytes > m_size) {
            m_ok = false;
            return;
        }
        std::memcpy(out, m_data + m_pos, bytes);
        m_pos += bytes;
    }
    const BYTE *m_data;
    DWORD m_size;
    DWORD m_pos = 0;
    bool m_ok = true;
};

bool resourceData(HMODULE module, LPCWSTR type, int id, const BYTE **data, DWORD *size)
{
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info)
        return false;
    HGLOBAL loaded = LoadResource(module, info);
    *data = loaded ? static_cast<const BYTE *>(LockResource(loaded)) : nullptr;
    *size = SizeofResource(module, info);
    return *data != nullptr;
}

struct ExpectedControl
{
    const wchar_t *className;
    uint32_t id;
    int16_t x, y, cx, cy;
    uint32_t style;
    const wchar_t *text;
};

void checkDialog(HMODULE module)
{
    const BYTE *data = nullptr;
    DWORD size = 0;
    check(resourceData(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, 102, &data, &size),
          "dialog template 102 exists");
    if (!data)
        return;
    Reader r(data, size);
    check(r.word() == 1 && r.word() == 0xFFFF, "dialog 102 is an extended dialog");
    r.dword(); // help id
    check(r.dword() == WS_EX_APPWINDOW, "dialog extended style: application window");
    check(r.dword() == (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
          "dialog style: popup, visible, caption, system menu, modal frame, set font");
    check(r.word() == 3, "dialog has three controls");
    const int16_t x = r.shortValue(), y = r.shortValue(), cx = r.shortValue(), cy = r.shortValue();
    check(x == 0 && y == 0 && cx == 234 && cy == 78, "dialog is 234 x 78");
    check(r.stringOrOrdinal().empty() && r.stringOrOrdinal().empty(),
          "dialog has no menu and the standard class");
    check(r.stringOrOrdinal() == L"USB DRIVER SETUP", "dialog caption");
    check(r.word() == 10, "font size 10");
    r.word(); // weight
    r.word(); // italic, charset
    check(r.stringOrOrdinal() == L"MS Sans Serif", "font MS Sans Serif");

    const ExpectedControl controls[] = {
        {L"#128", IDOK, 177, 7, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, L"OK"},
        {L"#130", 0xFFFFFFFFu, 10, 8, 57, 62, WS_CHILD | WS_VISIBLE | SS_BITMAP, L"#129"},
        {L"#130", 1000, 78, 24, 149, 35, WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT,
         L"\nUSB Driver install ......"},
    };
    int index = 0;
    for (const ExpectedControl &expected : controls) {
        const std::string name = "control " + std::to_string(++index) + " in tab order";
        r.alignDword();
        r.dword(); // help id
        const uint32_t exStyle = r.dword();
        const uint32_t style = r.dword();
        const int16_t cxPos = r.shortValue(), cyPos = r.shortValue(), cWidth = r.shortValue(),
                      cHeight = r.shortValue();
        const uint32_t id = r.dword();
        const std::wstring className = r.stringOrOrdinal();
        const std::wstring text = r.stringOrOrdinal();
        r.skip(r.word()); // creation data
        // A predefined class may be stored as its ordinal or by name.
        const bool sameClass =
            className == expected.className ||
            (std::wstring(expected.className) == L"#130" && lstrcmpiW(className.c_str(), L"Static") == 0) ||
            (std::wstring(expected.className) == L"#128" && lstrcmpiW(className.c_str(), L"Button") == 0);
        check(sameClass, name + ": class " + narrow(className));
        check(id == expected.id, name + ": id " + std::to_string(static_cast<int32_t>(id)));
        check(cxPos == expected.x && cyPos == expected.y && cWidth == expected.cx && cHeight == expected.cy,
              name + ": position and size");
        check(style == expected.style && exStyle == 0, name + ": style");
        check(text == expected.text, name + ": text " + narrow(text));
    }
    check(r.ok(), "dialog template read to its end");
}

void checkIcons(HMODULE module)
{
    const BYTE *data = nullptr;
    DWORD size = 0;
    check(resourceData(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, 128, &data, &size),
          "icon group 128 exists");
    if (!data)
        return;
    Reader r(data, size);
    r.word();
    check(r.word() == 1, "icon group holds icons");
    const uint16_t count = r.word();
    check(count == 2, "icon group has two images");
    bool has32 = false, has16 = false;
    for (uint16_t i = 0; i < count && r.ok(); ++i) {
        const uint16_t widthHeight = r.word(); // width, height bytes
        const uint16_t colours = r.word() & 0xFF;
        r.word(); // planes
        const uint16_t bitCount = r.word();
        r.dword(); // bytes
        r.word();  // icon id
        const int width = widthHeight & 0xFF, height = widthHeight >> 8;
        check(colours == 16 && bitCount == 4, "icon " + std::to_string(width) + " has 16 colours");
        has32 = has32 || (width == 32 && height == 32);
        has16 = has16 || (width == 16 && height == 16);
    }
    check(has32 && has16, "icons of 32 x 32 and 16 x 16");
    check(LoadImageW(module, MAKEINTRESOURCEW(128), IMAGE_ICON, 16, 16, 0) != nullptr,
          "the small icon loads");
}

void checkBitmap(HMODULE module)
{
    const BYTE *data = nullptr;
    DWORD size = 0;
    check(resourceData(module, MAKEINTRESOURCEW(2) /* RT_BITMAP */, 129, &data, &size), "bitmap 129 exists");
    if (!data || size < sizeof(BITMAPINFOHEADER))
        return;
    BITMAPINFOHEADER header{};
    std::memcpy(&header, data, sizeof header);
    check(header.biWidth == 100 && header.biHeight == 100 && header.biBitCount == 24,
          "bitmap 129 is 100 x 100, 24 bits per pixel");
}

} // namespace

void checkResources(const std::wstring &exe)
{
    HMODULE module =
        LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    check(module != nullptr, "the executable's resources load");
    if (!module)
        return;
    checkDialog(module);
    checkIcons(module);
    checkBitmap(module);
    FreeLibrary(module);
}

} // namespace probe
