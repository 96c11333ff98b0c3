// The advice after a failed open fits its cause: a busy port names its holder where the system
// tells it, only a device the user may not use asks for the group, anything else adds nothing.
#include "openadvice.h"

#include <QtTest>

class TestOpenAdvice : public QObject
{
    Q_OBJECT

private slots:
    void advice_data();
    void advice();
};

void TestOpenAdvice::advice_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("accessAllowed");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<bool>("exclusivePorts"); // Windows
    QTest::addColumn<QString>("advice");
    QTest::addColumn<QString>("line"); // the flasher's and the station's, after "cannot open PORT: "
    const QString named = QStringLiteral("The port is in use by minicom (pid 812). Close that program, then "
                                         "press Open Serial again.");
    const QString unnamed =
        QStringLiteral("The port is in use by another program. Close it, then press Open Serial again.");
    const QString group =
        QStringLiteral("Your user must be in the group that owns /dev/ttyUSB0 (dialout); add "
                       "it and log in again.");
    const QString minicom = QStringLiteral("minicom (pid 812)");
    const int denied = QSerialPort::PermissionError; // Qt's code for a held lock and EBUSY as well
    const QString byMinicom = QStringLiteral("in use by minicom (pid 812)");
    const QString inUse = QStringLiteral("in use by another program");
    const QString busy = QStringLiteral("Device or resource busy"); // the system's text
    QTest::newRow("lock file held") << denied << true << minicom << false << named << byMinicom;
    QTest::newRow("held, and no access") << denied << false << minicom << false << named << byMinicom;
    QTest::newRow("EBUSY, holder unseen") << denied << true << QString() << false << unnamed << inUse;
    QTest::newRow("no access") << denied << false << QString() << false << group
                               << "permission denied; your user must be in the group that owns "
                                  "/dev/ttyUSB0 (dialout)";
    QTest::newRow("Windows: access denied") << denied << false << QString() << true << unnamed << inUse;
    QTest::newRow("device gone") << int(QSerialPort::DeviceNotFoundError) << false << QString() << false
                                 << QString() << busy;
    QTest::newRow("driver refuses") << int(QSerialPort::OpenError) << true << minicom << false << QString()
                                    << busy;
}

void TestOpenAdvice::advice()
{
    QFETCH(int, error);
    QFETCH(bool, accessAllowed);
    QFETCH(QString, holder);
    QFETCH(bool, exclusivePorts);
    QFETCH(QString, advice);
    QFETCH(QString, line);
    const OpenAdvice::Facts facts{static_cast<QSerialPort::SerialPortError>(error),
                                  accessAllowed,
                                  holder,
                                  exclusivePorts,
                                  QStringLiteral("/dev/ttyUSB0"),
                                  QStringLiteral("dialout")};
    QCOMPARE(OpenAdvice::advice(facts), advice);
    const QString base = QStringLiteral("Cannot open ttyUSB0: Device or resource busy");
    QCOMPARE(OpenAdvice::message(QStringLiteral("ttyUSB0"), QStringLiteral("Device or resource busy"), facts),
             advice.isEmpty() ? base : base + QStringLiteral(". ") + advice);
    QCOMPARE(OpenAdvice::line(QStringLiteral("Device or resource busy"), facts), line);
}

QTEST_MAIN(TestOpenAdvice)
#include "tst_openadvice.moc"
