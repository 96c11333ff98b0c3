// Which device a port name means, and the exclusive lock an open port holds on it.
#include "packsimulator.h"
#include "portidentity.h"

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

class TestPortIdentity : public QObject
{
    Q_OBJECT

private slots:
    void systemLocation_data();
    void systemLocation();
    void findSameDevice_data();
    void findSameDevice();
    void canonicalPathResolvesLinks();
    void secondOpenOfTheDeviceIsRefused();
    void secondSerialPortUnderAnotherName();

private:
    static bool openPort(QSerialPort &port, const QString &name, QString *error);
};

void TestPortIdentity::systemLocation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("location");
    QTest::newRow("bare name") << "ttyUSB0"
                               << "/dev/ttyUSB0";
    QTest::newRow("path") << "/dev/ttyUSB0"
                          << "/dev/ttyUSB0";
    QTest::newRow("by-id link") << "/dev/serial/by-id/usb-x-if00"
                                << "/dev/serial/by-id/usb-x-if00";
    QTest::newRow("doubled slash and dot") << "/dev//./ttyS1"
                                           << "/dev/ttyS1";
    QTest::newRow("name below /dev") << "pts/3" // Qt's portName of /dev/pts/3
                                     << "/dev/pts/3";
    QTest::newRow("relative path") << "./ttyX"
                                   << "ttyX";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPortIdentity::systemLocation()
{
    QFETCH(QString, name);
    QFETCH(QString, location);
    QCOMPARE(PortIdentity::systemLocation(name), location);
}

void TestPortIdentity::findSameDevice_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("first"); // -1: all different
    QTest::addColumn<int>("second");
    QTest::newRow("one") << QStringList{"/dev/ttyUSB0"} << -1 << -1;
    QTest::newRow("different") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1"} << -1 << -1;
    QTest::newRow("same") << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB0"} << 0 << 1;
    QTest::newRow("later pair") << QStringList{"/dev/a", "/dev/b", "/dev/c", "/dev/b"} << 1 << 3;
}

void TestPortIdentity::findSameDevice()
{
    QFETCH(QStringList, paths);
    QFETCH(int, first);
    QFETCH(int, second);
    int a = -1;
    int b = -1;
    QCOMPARE(PortIdentity::findSameDevice(paths, &a, &b), first >= 0);
    QCOMPARE(a, first);
    QCOMPARE(b, second);
}

void TestPortIdentity::canonicalPathResolvesLinks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PackSim::PackSimulator pack;
    const QString link = dir.filePath(QStringLiteral("by-id"));
    const QString chain = dir.filePath(QStringLiteral("chain"));
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    QVERIFY(QFile::link(link, chain));
    QCOMPARE(PortIdentity::canonicalPath(link), pack.slavePath());
    QCOMPARE(PortIdentity::canonicalPath(chain), pack.slavePath());
    QCOMPARE(PortIdentity::canonicalPath(pack.slavePath()), pack.slavePath());
    QCOMPARE(PortIdentity::canonicalPath(QStringLiteral("/dev/quorvane-none")),
             QStringLiteral("/dev/quorvane-none"));
}

// Two opens of one device in this process stand for two programs: the lock is per open.
void TestPortIdentity::secondOpenOfTheDeviceIsRefused()
{
    PackSim::PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    const QByteArray path = QFile::encodeName(pack.slavePath());
    const int a = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    const int b = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(a >= 0 && b >= 0);
    QString error;
    QVERIFY2(PortIdentity::lockHandle(a, &error), qPrintable(error));
    QVERIFY(!PortIdentity::lockHandle(b, &error));
    QCOMPARE(error, QStringLiteral("in use by another program"));
    ::close(a); // closing the holder frees the device
    QVERIFY2(PortIdentity::lockHandle(b, &error), qPrintable(error));
    ::close(b);
}

bool TestPortIdentity::openPort(QSerialPort &port, const QString &name, QString *error)
{
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite)) {
        *error = port.errorString();
        return false;
    }
    return PortIdentity::lockOpenPort(port, error);
}

// The name a lock file would be keyed on differs; the device does not.
void TestPortIdentity::secondSerialPortUnderAnotherName()
{
    QTemporaryDir dir;
    PackSim::PackSimulator pack;
    const QString link = dir.filePath(QStringLiteral("ttyLINK"));
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    QSerialPort first;
    QSerialPort second;
    QString error;
    QVERIFY2(openPort(first, pack.slavePath(), &error), qPrintable(error));
    if (::geteuid() != 0) {
        // Without root the device's own exclusive mode refuses the open already.
        QVERIFY(!openPort(second, link, &error));
        return;
    }
    QVERIFY(!openPort(second, link, &error));
    QCOMPARE(error, PortIdentity::inUseText());
    second.close();
    first.close();
    QVERIFY2(openPort(second, link, &error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestPortIdentity)
#include "tst_portidentity.moc"
