// After a read error the window gives up a port only when its device has gone: the presence check
// against real devices (a pty from the pack simulator, pulled like an adapter).
#include "packsimulator.h"
#include "portpresence.h"

#include <QFileInfo>
#include <QtTest>

using PackSim::PackSimulator;
using SerialPresence::portStillPresent;

class TestPortPresence : public QObject
{
    Q_OBJECT

private slots:
    void ptyThenPulled();
    void names_data();
    void names();
};

void TestPortPresence::ptyThenPulled()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    const QString device = pack.slavePath();
    QVERIFY(portStillPresent(device));

    pack.pullAdapter();
    QTRY_VERIFY(!QFileInfo::exists(device));
    QVERIFY(!portStillPresent(device));
}

void TestPortPresence::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("present");
    QTest::newRow("bare name below /dev") << "null" << true;
    QTest::newRow("full path") << "/dev/null" << true;
    QTest::newRow("bare name of nothing") << "quorvane-no-such-port" << false;
    QTest::newRow("path of nothing") << "/dev/quorvane-no-such-port" << false;
}

void TestPortPresence::names()
{
    QFETCH(QString, name);
    QFETCH(bool, present);
    QCOMPARE(portStillPresent(name), present);
}

QTEST_GUILESS_MAIN(TestPortPresence)
#include "tst_portpresence.moc"
