// Driving the window as a user does, with mouse and key messages posted to its Windows window: the
// check program's own copy of the window (all of it checked here), or the running Quorvane.exe
// (one step at a time, its effects checked on the simulator's side by tests/wine/wine-checks.sh).
#include "wincheck.h"

#include "eventwait.h"
#include "modalanswerer.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QWindow>

#include <cstdio>

namespace WinCheck {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

void click(HWND hwnd, QWidget *widget)
{
    const qreal ratio = widget->window()->devicePixelRatioF();
    const QPoint at = widget->mapTo(widget->window(), widget->rect().center()) * ratio;
    const LPARAM where = MAKELPARAM(at.x(), at.y());
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, where);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, where);
}

void type(HWND hwnd, const QString &text)
{
    for (const QChar c : text) {
        PostMessageW(hwnd, WM_CHAR, c.unicode(), 1);
    }
    PostMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(hwnd, WM_KEYUP, VK_RETURN, 1 | (1U << 30) | (1U << 31));
}

// Open, Get Version, Load File, Start on the check program's own window, in the language given;
// then the version shown, the progress and the log's last lines are checked.
int drive(const QString &port, const QString &file, int language, int seconds)
{
    MainWindow window;
    window.setExtraPort(port);
    window.show();
    if (auto *languages = qobject_cast<QComboBox *>(control(window, "cbxLanguage"))) {
        languages->setCurrentIndex(language);
    }
    EventWait::until([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 5000);
    const HWND hwnd = reinterpret_cast<HWND>(window.winId());
    auto *open = qobject_cast<QPushButton *>(control(window, "btn_openConsole"));
    auto *version = qobject_cast<QLineEdit *>(control(window, "leVer"));
    auto *path = qobject_cast<QLineEdit *>(control(window, "leFilePath"));
    auto *progress = qobject_cast<QProgressBar *>(control(window, "progressBar"));
    auto *log = qobject_cast<QListWidget *>(control(window, "listWidget"));
    if (!open || !version || !path || !progress || !log) {
        return 1;
    }
    // The file dialog gets the path typed into its Windows window, as a user would; a message box
    // that shows up is answered, and counted as a failure below.
    ModalAnswerer answerer;
    answerer.setFileTyper([](QFileDialog *dialog, const QString &typed) {
        type(reinterpret_cast<HWND>(dialog->winId()), typed);
    });
    answerer.chooseFile(file);

    click(hwnd, open);
    const bool opened = EventWait::until([&] { return open->text() == tr("Close Serial"); }, 10000);
    check(opened, QStringLiteral("%1 opened: '%2'").arg(port, open->text()));
    click(hwnd, control(window, "btnGetVer"));
    const bool shown = EventWait::until([&] { return !version->text().isEmpty(); }, 10000);
    check(shown, QStringLiteral("the version shown: '%1'").arg(version->text()));
    click(hwnd, control(window, "btnFileLoad"));
    const bool loaded = EventWait::until(
        [&] { return !path->text().isEmpty() && !QApplication::activeModalWidget(); }, 20000);
    check(loaded, QStringLiteral("the file loaded: '%1'").arg(path->text()));
    check(answerer.fileDialogs().size() == 1, QStringLiteral("the file was typed into the file dialog"));

    QElapsedTimer clock;
    clock.start();
    click(hwnd, control(window, "btnStart"));
    const QString completed = tr(":  Update completed");
    const bool done = EventWait::until(
        [&] { return log->count() > 0 && log->item(0)->text().endsWith(completed); }, seconds * 1000);
    std::printf("download in the window: %.2f s\n", clock.elapsed() / 1000.0);
    check(done, QStringLiteral("the log's last line ends with '%1'").arg(completed));
    check(progress->maximum() > 0 && progress->value() == progress->maximum(),
          QStringLiteral("progress %1 of %2").arg(progress->value()).arg(progress->maximum()));
    for (int i = 0; i < qMin(3, log->count()); ++i) {
        std::printf("log: %s\n", log->item(i)->text().toUtf8().constData());
    }
    // The line before: the last packet sent (numbered from 0).
    const QStringList parts =
        tr("\t Sent package:%1, total:%2 packages.").split(QRegularExpression(QStringLiteral("%[12]")));
    QString sent;
    for (int i = 0; i < parts.size(); ++i) {
        sent += (i > 0 ? QStringLiteral("(\\d+)") : QString()) + QRegularExpression::escape(parts.at(i));
    }
    const QRegularExpressionMatch last = QRegularExpression(sent + QLatin1Char('$'))
                                             .match(log->count() > 1 ? log->item(1)->text() : QString());
    check(last.hasMatch() && last.captured(1).toInt() + 1 == last.captured(2).toInt() &&
              last.captured(2).toInt() == progress->maximum(),
          QStringLiteral("the line before reports the last packet sent"));
    for (const ModalAnswerer::Seen &box : answerer.boxes()) {
        check(false, QStringLiteral("no message box: '%1'").arg(box.text));
    }
    return failures() == 0 ? 0 : 1;
}

} // namespace WinCheck
