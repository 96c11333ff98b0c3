// The three warnings about the window's placeholder slots, and only those, are dropped while the
// form is built.
#include "mainwindow.h"
#include "quietslots.h"

#include <QtTest>

namespace {

QStringList g_messages;
QtMessageHandler g_previous = nullptr;

void capture(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtInfoMsg) {
        g_messages.append(message);
        return;
    }
    g_previous(type, context, message);
}

const char kPrefix[] = "QMetaObject::connectSlotsByName: No matching signal for ";

} // namespace

class TestQuietSlots : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        g_messages.clear();
        g_previous = qInstallMessageHandler(capture);
    }
    void cleanup() { qInstallMessageHandler(g_previous); }

    void windowStartsQuietly();
    void exactlyThose_data();
    void exactlyThose();
};

// Connecting by name outside the window's start shows the warnings Qt gives; the window's own start
// shows none of them.
void TestQuietSlots::windowStartsQuietly()
{
    MainWindow window;
    QCOMPARE(g_messages.filter(QLatin1String(kPrefix)), QStringList());
    QMetaObject::connectSlotsByName(&window);
    const QStringList unquieted = g_messages.filter(QLatin1String(kPrefix));
    QCOMPARE(unquieted.size(), 3);
    for (const QString &message : unquieted) {
        QVERIFY2(QuietSlots::isPlaceholderWarning(QtWarningMsg, message), qPrintable(message));
    }
}

void TestQuietSlots::exactlyThose_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("dropped");
    const QString prefix = QLatin1String(kPrefix);
    QTest::newRow("btnClose") << int(QtWarningMsg) << prefix + "on_btnClose_clicked()" << true;
    QTest::newRow("btnMonitor") << int(QtWarningMsg) << prefix + "on_btnMonitor_clicked()" << true;
    QTest::newRow("btnTest") << int(QtWarningMsg) << prefix + "on_btnTest_clicked()" << true;
    QTest::newRow("another slot") << int(QtWarningMsg) << prefix + "on_btnStart_pressed()" << false;
    QTest::newRow("more after it") << int(QtWarningMsg) << prefix + "on_btnClose_clicked() again" << false;
    QTest::newRow("as information") << int(QtInfoMsg) << prefix + "on_btnClose_clicked()" << false;
    QTest::newRow("other warning") << int(QtWarningMsg) << QStringLiteral("QSerialPort: busy") << false;
}

void TestQuietSlots::exactlyThose()
{
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(bool, dropped);
    QCOMPARE(QuietSlots::isPlaceholderWarning(static_cast<QtMsgType>(type), message), dropped);
    const auto emitMessage = [&] {
        if (type == QtInfoMsg) {
            qInfo("%s", qPrintable(message));
        } else {
            qWarning("%s", qPrintable(message));
        }
    };
    {
        const QuietSlots::Scope quiet;
        emitMessage();
    }
    emitMessage(); // outside the scope everything passes
    QCOMPARE(g_messages.size(), dropped ? 1 : 2);
}

QTEST_MAIN(TestQuietSlots)
#include "tst_quietslots.moc"
