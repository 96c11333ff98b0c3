// A small dialog framework over plain Win32: an application object whose initialisation runs the
// program, a modal dialog created from a resource template with a message map, and data exchange
// between text members and controls. It holds only what Ferrodin uses.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace fw {

class Dialog;

// A message handler: the result of the message, or nothing to leave it to the default handling.
using Handler = std::optional<LRESULT> (Dialog::*)(WPARAM, LPARAM);

struct MessageEntry
{
    UINT message;
    Handler handler;
};

struct MessageMap
{
    const MessageMap *base;      // the base class's map, searched after this one
    const MessageEntry *entries; // ends with an entry whose handler is null
};

// Moves values between a dialog's members and its controls.
class DataExchange
{
public:
    DataExchange(HWND dialog, bool saveAndValidate);
    bool saving() const { return m_save; }
    // The text of control `controlId` <-> `value`.
    void text(int controlId, std::wstring &value);

private:
    HWND m_dialog;
    bool m_save;
};

class Dialog
{
public:
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    virtual ~Dialog() = default;
    Dialog(const Dialog &) = delete;
    Dialog &operator=(const Dialog &) = delete;

    // Creates the dialog from its template and runs it until it ends; returns the end result.
    INT_PTR doModal();
    void endDialog(INT_PTR result);
    // save: controls -> members; otherwise members -> controls.
    bool updateData(bool save);
    HWND hwnd() const { return m_hwnd; }

    static const MessageMap *ownMessageMap();

protected:
    virtual BOOL onInitDialog();
    virtual void doDataExchange(DataExchange &dx);
    virtual void onOK();     // the OK button: take the controls' data, end the dialog
    virtual void onCancel(); // Escape and the close box: end the dialog
    virtual const MessageMap *messageMap() const { return ownMessageMap(); }

private:
    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> findAndCall(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
    HWND m_hwnd = nullptr;
};

// The application object. Exactly one exists; the program's entry point calls its initInstance.
class WinApp
{
public:
    WinApp();
    virtual ~WinApp();
    WinApp(const WinApp &) = delete;
    WinApp &operator=(const WinApp &) = delete;

    // Returning false ends the program (a dialog-based application returns false once its dialog
    // has ended).
    virtual bool initInstance() = 0;

    static WinApp *current();
    HINSTANCE instance() const { return m_instance; }
    int run(HINSTANCE instance);

    Dialog *m_pMainWnd = nullptr;

private:
    HINSTANCE m_instance = nullptr;
};

// Text held as bytes in a code page, widened for the Unicode window functions.
std::wstring widen(const char *bytes, unsigned codePage);

} // namespace fw

// Message map declarations, in the class body and in the source file.
#define FW_DECLARE_MESSAGE_MAP()                                                                             \
public:                                                                                                      \
    static const fw::MessageMap *ownMessageMap();                                                            \
                                                                                                             \
protected:                                                                                                   \
    const fw::MessageMap *messageMap() const override                                                        \
    {                                                                                                        \
        return ownMessageMap();                                                                              \
    }

#define FW_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                            \
    const fw::MessageMap *theClass::ownMessageMap()                                                          \
    {                                                                                                        \
        using ThisClass = theClass;                                                                          \
        using BaseClass = baseClass;                                                                         \
        static const fw::MessageEntry entries[] = {

#define FW_ON_MESSAGE(message, memberFunction)                                                               \
    {message, static_cast<fw::Handler>(&ThisClass::memberFunction)},

#define FW_END_MESSAGE_MAP()                                                                                 \
    {                                                                                                        \
        0, nullptr                                                                                           \
    }                                                                                                        \
    }                                                                                                        \
    ;                                                                                                        \
    static const fw::MessageMap map{BaseClass::ownMessageMap(), entries};                                    \
    return &map;                                                                                             \
    }
