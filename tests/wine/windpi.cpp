// The window at the display scale Windows is set to (Wine's LogPixels): it grows with the scale,
// and no caption, button or list is cut, in English and in Chinese. Quorvane's window, or
// QuorvaneStation's.
#include "stationwindow.h"
#include "wincheck.h"

#include "eventwait.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace WinCheck {

namespace {

void checkOne(QWidget *w, const QString &language)
{
    auto *label = qobject_cast<QLabel *>(w);
    if (label && label->text().isEmpty()) {
        return; // the status lamp: a picture of a fixed size, no caption
    }
    // A list scrolls, a group's contents are checked one by one, and a label that wraps its lines
    // takes the width it is given: for them the least they need.
    const bool shrinks =
        qobject_cast<QListWidget *>(w) || qobject_cast<QGroupBox *>(w) || (label && label->wordWrap());
    const QSize needed = shrinks ? w->minimumSizeHint() : w->sizeHint();
    const bool ok = w->width() >= needed.width() && w->height() >= needed.height();
    check(ok, QStringLiteral("%1 %2: %3x%4, needs %5x%6")
                  .arg(language, w->objectName())
                  .arg(w->width())
                  .arg(w->height())
                  .arg(needed.width())
                  .arg(needed.height()));
}

} // namespace

void checkNotClipped(QWidget &window, const QString &language)
{
    const QList<QWidget *> widgets = window.findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const bool kind = qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) ||
                          qobject_cast<QComboBox *>(w) || qobject_cast<QListWidget *>(w) ||
                          qobject_cast<QLineEdit *>(w) || qobject_cast<QGroupBox *>(w);
        // Widgets of the form only: a combo box's own line edit or view is not one of them.
        const bool ofForm = !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
        if (kind && ofForm && w->isVisibleTo(&window)) {
            checkOne(w, language);
        }
    }
}

int checkDpi(int dpi, const QString &picture, bool station)
{
    std::unique_ptr<QMainWindow> shown;
    if (station) {
        shown = std::make_unique<Station::StationWindow>();
    } else {
        shown = std::make_unique<MainWindow>();
    }
    QMainWindow &window = *shown;
    window.show();
    EventWait::until([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 5000);
    EventWait::until([] { return false; }, 500); // the first layout and paint
    const qreal scale = dpi / 96.0;
    const qreal ratio = window.devicePixelRatioF();
    RECT client{};
    GetClientRect(reinterpret_cast<HWND>(window.winId()), &client);
    std::printf("%d dpi: scale %.2f, window %dx%d, on the screen %ldx%ld pixels\n", dpi, ratio,
                window.width(), window.height(), client.right, client.bottom);
    check(qAbs(ratio - scale) < 0.01,
          QStringLiteral("the window is scaled by %1 (expected %2)").arg(ratio).arg(scale));
    // The window's pixels on the screen grow with the scale (rounding: a pixel either way).
    check(qAbs(client.right - qRound(window.width() * scale)) <= 1 &&
              qAbs(client.bottom - qRound(window.height() * scale)) <= 1,
          QStringLiteral("%1x%2 pixels on the screen for %3x%4 at %5 %")
              .arg(client.right)
              .arg(client.bottom)
              .arg(window.width())
              .arg(window.height())
              .arg(qRound(scale * 100)));
    checkNotClipped(window, QStringLiteral("English"));
    if (!picture.isEmpty()) {
        check(window.grab().save(picture + QStringLiteral("-en.png"), "PNG"),
              picture + QStringLiteral("-en.png"));
    }
    auto *language = window.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
    if (language) {
        language->setCurrentIndex(1);
        EventWait::until([] { return false; }, 500); // the new captions laid out and painted
        checkNotClipped(window, QStringLiteral("Chinese"));
        if (!picture.isEmpty()) {
            check(window.grab().save(picture + QStringLiteral("-zh.png"), "PNG"),
                  picture + QStringLiteral("-zh.png"));
        }
        language->setCurrentIndex(0);
    }
    return failures() == 0 ? 0 : 1;
}

} // namespace WinCheck
