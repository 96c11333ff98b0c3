// Checks of the Windows build under Wine, where Qt Test is not at hand (the Windows Qt has none). A
// console program over the very window library Quorvane.exe is linked from, on the real Windows
// platform plugin:
//   quorvane_wincheck window <en.png> <zh.png>  the window "BMS" with every control; English, then
//                                               Chinese, then English again; a picture of each language
//   quorvane_wincheck open <port> <seconds>     opens <port> as a user does; reports whether the
//                                               port opened and the version the window shows
//   quorvane_wincheck click-open <seconds>      clicks "Open Serial" in the other program's window
//                                               titled "BMS" (the running Quorvane.exe)
//   quorvane_wincheck presence <port> yes|no    whether the lost-port check finds <port> present
//   quorvane_wincheck dpi <dpi> [<picture>]      the window at the screen's scale (windpi.cpp), and
//                                               <picture>-en.png, <picture>-zh.png
//   quorvane_wincheck station-dpi <dpi> [<picture>]
//                                               the same of QuorvaneStation's window
//   quorvane_wincheck drive <port> <file> <language> <seconds>
//                                               open, Get Version, Load File <file>, Start in the
//                                               window, language 0 English, 1 Chinese (windrive.cpp)
//   quorvane_wincheck click <control> <language> <seconds>
//                                               clicks <control> in the running Quorvane.exe
//   quorvane_wincheck choose-file <path> <seconds>
//                                               types <path> into the running Quorvane.exe's file
//                                               dialog and accepts it
// Exit status 0 when every check passed; each failure is printed.
#include "wincheck.h"

#include "eventwait.h"
#include "highdpi.h"
#include "portpresence.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <windows.h>

#include <cstdio>
#include <string>

namespace WinCheck {

namespace {
int g_failures = 0;
}

void check(bool ok, const QString &what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.toUtf8().constData());
    std::fflush(stdout);
    if (!ok) {
        ++g_failures;
    }
}

int failures()
{
    return g_failures;
}

QWidget *control(MainWindow &window, const char *name)
{
    return window.findChild<QWidget *>(QLatin1String(name));
}

namespace {

struct Search
{
    const wchar_t *title;
    DWORD self;
    HWND found;
};

BOOL CALLBACK findTitled(HWND hwnd, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    wchar_t title[64] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->self || !IsWindowVisible(hwnd) || GetWindowTextW(hwnd, title, 64) == 0) {
        return TRUE;
    }
    // No title asked for: any but the main window.
    if (search->title ? lstrcmpW(title, search->title) == 0 : lstrcmpW(title, L"BMS") != 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND findWindow(const wchar_t *title, bool otherProcess, int seconds)
{
    Search search{title, otherProcess ? GetCurrentProcessId() : 0, nullptr};
    QElapsedTimer clock;
    clock.start();
    while (!search.found && clock.elapsed() < seconds * 1000) {
        EnumWindows(findTitled, reinterpret_cast<LPARAM>(&search));
        Sleep(100);
    }
    return search.found;
}

} // namespace WinCheck

using namespace WinCheck;

namespace {

struct Control
{
    const char *name;
    const QMetaObject *type;
    bool shown;
};

// The form's controls: every one exists with its class; the four parameter lists the open never
// reads (and their labels) are hidden, all others are shown.
const Control kControls[] = {
    {"groupBox_6", &QGroupBox::staticMetaObject, true},
    {"label_51", &QLabel::staticMetaObject, true},
    {"lbStatus", &QLabel::staticMetaObject, true},
    {"label_4", &QLabel::staticMetaObject, true},
    {"cbxLanguage", &QComboBox::staticMetaObject, true},
    {"btnPdf", &QPushButton::staticMetaObject, true},
    {"groupBox_10", &QGroupBox::staticMetaObject, true},
    {"label", &QLabel::staticMetaObject, true},
    {"comboBox_serialPort", &QComboBox::staticMetaObject, true},
    {"label_2", &QLabel::staticMetaObject, true},
    {"comboBox_baudRate", &QComboBox::staticMetaObject, true},
    {"label_9", &QLabel::staticMetaObject, false},
    {"comboBox_dataBits", &QComboBox::staticMetaObject, false},
    {"label_10", &QLabel::staticMetaObject, false},
    {"comboBox_parity", &QComboBox::staticMetaObject, false},
    {"label_11", &QLabel::staticMetaObject, false},
    {"comboBox_stopBit", &QComboBox::staticMetaObject, false},
    {"label_12", &QLabel::staticMetaObject, false},
    {"comboBox_flowBit", &QComboBox::staticMetaObject, false},
    {"btn_openConsole", &QPushButton::staticMetaObject, true},
    {"btnStartMonit", &QPushButton::staticMetaObject, true},
    {"groupBox_8", &QGroupBox::staticMetaObject, true},
    {"label_6", &QLabel::staticMetaObject, true},
    {"leVer", &QLineEdit::staticMetaObject, true},
    {"btnGetVer", &QPushButton::staticMetaObject, true},
    {"groupBox_7", &QGroupBox::staticMetaObject, true},
    {"label_3", &QLabel::staticMetaObject, true},
    {"leFilePath", &QLineEdit::staticMetaObject, true},
    {"btnFileLoad", &QPushButton::staticMetaObject, true},
    {"progressBar", &QProgressBar::staticMetaObject, true},
    {"listWidget", &QListWidget::staticMetaObject, true},
    {"btnStart", &QPushButton::staticMetaObject, true},
    {"btnStop", &QPushButton::staticMetaObject, true},
    {"menubar", &QMenuBar::staticMetaObject, true},
    {"statusbar", &QStatusBar::staticMetaObject, true},
};

// Every caption the form sets: buttons, labels and group boxes by object name.
QMap<QString, QString> captions(MainWindow &window)
{
    QMap<QString, QString> texts;
    for (const auto *b : window.findChildren<QPushButton *>()) {
        texts.insert(b->objectName(), b->text());
    }
    for (const auto *l : window.findChildren<QLabel *>()) {
        if (l->objectName() != QLatin1String("lbStatus")) { // the lamp shows no text
            texts.insert(l->objectName(), l->text());
        }
    }
    for (const auto *g : window.findChildren<QGroupBox *>()) {
        texts.insert(g->objectName(), g->title());
    }
    return texts;
}

void save(MainWindow &window, const QString &path)
{
    EventWait::until([] { return false; }, 500); // let the language switch paint
    check(window.grab().save(path, "PNG"), QStringLiteral("picture saved to %1").arg(path));
}

int checkWindow(const QString &enPicture, const QString &zhPicture)
{
    MainWindow window;
    window.show();
    EventWait::until(
        [&] { return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed(); },
        5000);
    check(window.isVisible(), QStringLiteral("the window is shown"));
    check(window.windowTitle() == QLatin1String("BMS"),
          QStringLiteral("title '%1'").arg(window.windowTitle()));
    check(FindWindowW(nullptr, L"BMS") != nullptr, QStringLiteral("Windows knows a top-level window 'BMS'"));
    for (const Control &c : kControls) {
        QWidget *w = control(window, c.name);
        const bool ok = w && w->metaObject()->inherits(c.type) && w->isVisible() == c.shown;
        check(ok, QStringLiteral("%1: %2, %3")
                      .arg(QLatin1String(c.name), QLatin1String(c.type->className()),
                           c.shown ? QStringLiteral("shown") : QStringLiteral("hidden")));
    }

    auto *language = qobject_cast<QComboBox *>(control(window, "cbxLanguage"));
    auto *open = qobject_cast<QPushButton *>(control(window, "btn_openConsole"));
    if (!language || !open) {
        return 1;
    }
    const QMap<QString, QString> english = captions(window);
    check(open->text() == QLatin1String("Open Serial"), QStringLiteral("English: '%1'").arg(open->text()));
    save(window, enPicture);

    language->setCurrentIndex(1);
    const QMap<QString, QString> chinese = captions(window);
    check(open->text() == QString::fromUtf8("打开串口"), QStringLiteral("Chinese: '%1'").arg(open->text()));
    int changed = 0;
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        const QString expected = QCoreApplication::translate("MainWindow", it.value().toUtf8().constData());
        check(chinese.value(it.key()) == expected,
              QStringLiteral("Chinese %1: '%2'").arg(it.key(), chinese.value(it.key())));
        changed += expected != it.value() ? 1 : 0;
    }
    check(changed >= 10, QStringLiteral("%1 captions changed to Chinese").arg(changed));
    save(window, zhPicture);

    language->setCurrentIndex(0);
    check(captions(window) == english, QStringLiteral("every caption back in English"));
    return failures() == 0 ? 0 : 1;
}

int checkOpen(const QString &port, int seconds)
{
    MainWindow window;
    window.show();
    window.setExtraPort(port);
    auto *open = qobject_cast<QPushButton *>(control(window, "btn_openConsole"));
    auto *version = qobject_cast<QLineEdit *>(control(window, "leVer"));
    if (!open || !version) {
        return 1;
    }
    open->click();
    EventWait::until([&] { return !version->text().isEmpty(); }, seconds * 1000);
    check(open->text() == QLatin1String("Close Serial"),
          QStringLiteral("%1 opened ('%2')").arg(port, open->text()));
    std::printf("version shown: '%s'\n", version->text().toUtf8().constData());
    return failures() == 0 ? 0 : 1;
}

// A click on a control of the running Quorvane.exe. The control's place comes from this program's
// own copy of the window: the same form, fonts, style and language, so the same layout.
int clickOther(const char *name, int language, int seconds)
{
    const HWND other = findWindow(L"BMS", true, seconds);
    check(other != nullptr, QStringLiteral("another program's window 'BMS'"));
    if (!other) {
        return 1;
    }
    MainWindow window;
    window.show();
    if (auto *languages = qobject_cast<QComboBox *>(control(window, "cbxLanguage"))) {
        languages->setCurrentIndex(language);
    }
    RECT client{};
    GetClientRect(other, &client);
    const qreal ratio = window.devicePixelRatioF();
    window.resize(qRound(client.right / ratio), qRound(client.bottom / ratio));
    EventWait::until([] { return false; }, 1000);
    QWidget *target = control(window, name);
    check(target != nullptr, QStringLiteral("the window has a control %1").arg(QLatin1String(name)));
    if (!target) {
        return 1;
    }
    click(other, target);
    return failures() == 0 ? 0 : 1;
}

// The running Quorvane.exe's file dialog (its only window besides "BMS") gets path typed and
// accepted; passes when it closes.
int chooseFile(const QString &path, int seconds)
{
    const HWND dialog = findWindow(nullptr, true, seconds);
    check(dialog != nullptr, QStringLiteral("the running Quorvane.exe shows a dialog"));
    if (!dialog) {
        return 1;
    }
    wchar_t title[64] = {};
    GetWindowTextW(dialog, title, 64);
    EventWait::until([] { return false; }, 500); // the dialog's fields in place
    type(dialog, QDir::toNativeSeparators(path));
    QElapsedTimer clock;
    clock.start();
    while (IsWindow(dialog) && IsWindowVisible(dialog) && clock.elapsed() < seconds * 1000) {
        Sleep(100);
    }
    check(!IsWindow(dialog) || !IsWindowVisible(dialog),
          QStringLiteral("the dialog '%1' took %2").arg(QString::fromWCharArray(title), path));
    return failures() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    HighDpi::enable(); // as Quorvane.exe does
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("window") && args.size() == 4) {
        return checkWindow(args.at(2), args.at(3));
    }
    if (mode == QLatin1String("open") && args.size() == 4) {
        return checkOpen(args.at(2), args.at(3).toInt());
    }
    if (mode == QLatin1String("click-open") && args.size() == 3) {
        return clickOther("btn_openConsole", 0, args.at(2).toInt());
    }
    if (mode == QLatin1String("click") && args.size() == 5) {
        return clickOther(args.at(2).toLatin1().constData(), args.at(3).toInt(), args.at(4).toInt());
    }
    if (mode == QLatin1String("choose-file") && args.size() == 4) {
        return chooseFile(args.at(2), args.at(3).toInt());
    }
    if (mode == QLatin1String("dpi") && (args.size() == 3 || args.size() == 4)) {
        return checkDpi(args.at(2).toInt(), args.value(3));
    }
    if (mode == QLatin1String("station-dpi") && (args.size() == 3 || args.size() == 4)) {
        return checkDpi(args.at(2).toInt(), args.value(3), true);
    }
    if (mode == QLatin1String("drive") && args.size() == 6) {
        return drive(args.at(2), args.at(3), args.at(4).toInt(), args.at(5).toInt());
    }
    if (mode == QLatin1String("presence") && args.size() == 4) {
        const bool expected = args.at(3) == QLatin1String("yes");
        const bool present = SerialPresence::portStillPresent(args.at(2));
        check(present == expected, QStringLiteral("%1 %2").arg(args.at(2), present ? "present" : "absent"));
        return failures() == 0 ? 0 : 1;
    }
    QTextStream(stderr)
        << "usage: quorvane_wincheck window EN.png ZH.png | open PORT SECONDS | click-open SECONDS | ...\n"
        << "(see the head of tests/wine/wincheck.cpp)\n";
    return 2;
}
