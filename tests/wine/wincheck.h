// The helpers the Wine check program's parts share (wincheck.cpp, windpi.cpp, windrive.cpp): a
// printed check, the window's controls by name, and input posted to a window as Windows delivers the
// mouse's and the keyboard's. They wait on the event loop with the tests' EventWait::until
// (tests/common/eventwait.h).
#pragma once

#include "mainwindow.h"

#include <QString>

#include <windows.h>

namespace WinCheck {

// Prints "ok: what" or "FAIL: what" and counts the failures.
void check(bool ok, const QString &what);
int failures();

QWidget *control(MainWindow &window, const char *name);

// The top-level window titled title (visible, of another program when otherProcess), waited for
// seconds; nullptr when none came. With no title: any titled window but "BMS".
HWND findWindow(const wchar_t *title, bool otherProcess, int seconds);

// A left click on widget's centre, posted to hwnd, whose client area is laid out like widget's
// top-level window (the same window, or another program's copy of it).
void click(HWND hwnd, QWidget *widget);
// Types text into hwnd's focused field, one character message each, then presses Enter.
void type(HWND hwnd, const QString &text);

// Each widget of the window's form that the user sees: label, button, list, line or group.
// Passes when every one is at least as large as its size hint (a list or a group: its minimum).
void checkNotClipped(QWidget &window, const QString &language);

// Quorvane's window, or with station QuorvaneStation's, at the screen's scale of dpi.
int checkDpi(int dpi, const QString &picture, bool station = false);
int drive(const QString &port, const QString &file, int language, int seconds);

} // namespace WinCheck
