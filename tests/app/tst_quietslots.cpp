// The three warnings about the window's placeholder slots, and only those, are dropped while the
// form is built.
#include "mainwindow.h"
#include "quietslots.h"

#include <QtTest>

namespace {
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg) {
        g_warnings.append(message);
    } else {
        g_previous(type, context, message);
    }
}
} // namespace

class TestQuietSlots : public QObject
{
    Q_OBJECT

private slots:
    void onlyThePlaceholderWarnings();
};

void TestQuietSlots::onlyThePlaceholderWarnings()
{
    g_previous = qInstallMessageHandler(capture);
    const QString prefix = QStringLiteral("QMetaObject::connectSlotsByName: No matching signal for ");
    MainWindow window;
    QCOMPARE(g_warnings.filter(prefix), QStringList()); // the window starts quietly
    QMetaObject::connectSlotsByName(&window);           // the very warnings Qt gives, outside the start
    const QStringList placeholders = g_warnings.filter(prefix);
    QCOMPARE(placeholders.size(), 3);

    g_warnings.clear();
    {
        const QuietSlots::Scope quiet;
        for (const QString &message : placeholders) {
            qWarning("%s", qPrintable(message));
        }
        // Near misses pass: another slot, more text, another warning.
        qWarning("%s", qPrintable(prefix + QStringLiteral("on_btnStart_pressed()")));
        qWarning("%s", qPrintable(placeholders.first() + QStringLiteral(" again")));
        qWarning("QSerialPort: busy");
    }
    qWarning("%s", qPrintable(placeholders.first())); // and everything after the form is built
    qInstallMessageHandler(g_previous);
    QCOMPARE(g_warnings.size(), 4);
    QCOMPARE(g_warnings.last(), placeholders.first());
    QVERIFY(!QuietSlots::isPlaceholderWarning(QtInfoMsg, placeholders.first()));
}

QTEST_MAIN(TestQuietSlots)
#include "tst_quietslots.moc"
