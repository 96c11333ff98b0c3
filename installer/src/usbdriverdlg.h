// The installer's dialog and its application object.
#pragma once

#include "framework.h"

#include <string>

class UsbDriverDlg : public fw::Dialog
{
public:
    explicit UsbDriverDlg(HWND parent = nullptr);

protected:
    BOOL onInitDialog() override;
    void doDataExchange(fw::DataExchange &dx) override;

    std::optional<LRESULT> onPaint(WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> onQueryDragIcon(WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> onTimer(WPARAM wParam, LPARAM lParam);

    FW_DECLARE_MESSAGE_MAP()

private:
    std::wstring m_statusText; // exchanged with control 1000
    HICON m_appIcon;
};

class UsbDriverApp : public fw::WinApp
{
public:
    bool initInstance() override;
};
