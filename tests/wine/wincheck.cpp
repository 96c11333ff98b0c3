// Checks of the Windows build under Wine, where Qt Test is not at hand (the Windows Qt has none). A
// console program over the very window library Quorvane.exe is linked from, on the real Windows
// platform plugin:
//   quorvane_wincheck window <en.png> <zh.png>  the window "BMS" with every control; English, then
//                                               Chinese, then English again; a picture of each language
//   quorvane_wincheck open <port> <seconds>     opens <port> as a user does; reports whether the
//                                               port opened and the version the window shows
//   quorvane_wincheck click-open <seconds>      clicks "Open Serial" in the other program's window
//                                               titled "BMS" (the running Quorvane.exe)
//   quorvane_wincheck presence <port> yes|no      whether the lost-port check finds <port> present
// Exit status 0 when every check passed; each failure is printed.
#include "mainwindow.h"
#include "portpresence.h"

#include <QApplication>
#include <QComboBox>
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

namespace {

int g_failures = 0;

void check(bool ok, const QString &what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.toUtf8().constData());
    std::fflush(stdout);
    if (!ok) {
        ++g_failures;
    }
}

// Runs the event loop for ms milliseconds, or until done() holds.
template <typename Done> void spin(int ms, Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        Sleep(10);
    }
}

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

QWidget *control(MainWindow &window, const char *name)
{
    return window.findChild<QWidget *>(QLatin1String(name));
}

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
    spin(500, [] { return false; }); // let the language switch paint
    check(window.grab().save(path, "PNG"), QStringLiteral("picture saved to %1").arg(path));
}

int checkWindow(const QString &enPicture, const QString &zhPicture)
{
    MainWindow window;
    window.show();
    spin(5000,
         [&] { return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed(); });
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
    return g_failures == 0 ? 0 : 1;
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
    spin(seconds * 1000, [&] { return !version->text().isEmpty(); });
    check(open->text() == QLatin1String("Close Serial"),
          QStringLiteral("%1 opened ('%2')").arg(port, open->text()));
    std::printf("version shown: '%s'\n", version->text().toUtf8().constData());
    return g_failures == 0 ? 0 : 1;
}

struct Search
{
    DWORD self;
    HWND found;
};

BOOL CALLBACK findOther(HWND hwnd, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    wchar_t title[16] = {};
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->self && IsWindowVisible(hwnd) && GetWindowTextW(hwnd, title, 16) > 0 &&
        lstrcmpW(title, L"BMS") == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The button's place comes from this program's own copy of the window: the same form, fonts and
// style, so the same layout. The click is posted to the other program's window as the mouse would.
int clickOpen(int seconds)
{
    Search search{GetCurrentProcessId(), nullptr};
    QElapsedTimer clock;
    clock.start();
    while (!search.found && clock.elapsed() < seconds * 1000) {
        EnumWindows(findOther, reinterpret_cast<LPARAM>(&search));
        Sleep(100);
    }
    check(search.found != nullptr, QStringLiteral("another program's window 'BMS'"));
    if (!search.found) {
        return 1;
    }
    MainWindow window;
    RECT client{};
    GetClientRect(search.found, &client);
    window.resize(client.right - client.left, client.bottom - client.top);
    window.show();
    spin(1000, [] { return false; });
    QWidget *open = control(window, "btn_openConsole");
    const QPoint at = open->mapTo(&window, open->rect().center());
    std::printf("clicking at %d,%d of a %ldx%ld client area\n", at.x(), at.y(), client.right, client.bottom);
    const LPARAM where = MAKELPARAM(at.x(), at.y());
    PostMessageW(search.found, WM_MOUSEMOVE, 0, where);
    PostMessageW(search.found, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(search.found, WM_LBUTTONUP, 0, where);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
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
        return clickOpen(args.at(2).toInt());
    }
    if (mode == QLatin1String("presence") && args.size() == 4) {
        const bool expected = args.at(3) == QLatin1String("yes");
        const bool present = SerialPresence::portStillPresent(args.at(2));
        check(present == expected, QStringLiteral("%1 %2").arg(args.at(2), present ? "present" : "absent"));
        return g_failures == 0 ? 0 : 1;
    }
    QTextStream(stderr)
        << "usage: quorvane_wincheck window EN.png ZH.png | open PORT SECONDS | click-open SECONDS\n";
    return 2;
}
