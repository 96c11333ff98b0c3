// The advice after a failed open fits its cause: a busy port names its holder where the system
// tells it, only a device the user may not use asks for the group, anything else adds nothing.
#include "openadvice.h"

#include <QtTest>

using OpenAdvice::Cause;

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
    QTest::addColumn<bool>("exclusivePorts");
    QTest::addColumn<int>("cause");
    QTest::addColumn<QString>("advice");
    const QString named =
        QStringLiteral("The port is in use by minicom (pid 812). Close that program, then press "
                       "Open Serial again.");
    const QString unnamed =
        QStringLiteral("The port is in use by another program. Close it, then press Open Serial again.");
    const QString group = QStringLiteral(
        "Your user must be in the group that owns /dev/ttyUSB0 (dialout); add it and log in again.");
    const QString minicom = QStringLiteral("minicom (pid 812)");
    const int permission = QSerialPort::PermissionError;
    QTest::newRow("lock file held") << permission << true << minicom << false << int(Cause::Busy) << named;
    QTest::newRow("held, and no access either")
        << permission << false << minicom << false << int(Cause::Busy) << named;
    QTest::newRow("EBUSY, holder unseen")
        << permission << true << QString() << false << int(Cause::Busy) << unnamed;
    QTest::newRow("no access") << permission << false << QString() << false << int(Cause::Permission)
                               << group;
    QTest::newRow("Windows: access denied")
        << permission << false << QString() << true << int(Cause::Busy) << unnamed;
    QTest::newRow("device gone") << int(QSerialPort::DeviceNotFoundError) << false << QString() << false
                                 << int(Cause::Other) << QString();
    QTest::newRow("driver refuses") << int(QSerialPort::OpenError) << true << minicom << false
                                    << int(Cause::Other) << QString();
}

void TestOpenAdvice::advice()
{
    QFETCH(int, error);
    QFETCH(bool, accessAllowed);
    QFETCH(QString, holder);
    QFETCH(bool, exclusivePorts);
    QFETCH(int, cause);
    QFETCH(QString, advice);
    OpenAdvice::Facts facts;
    facts.error = static_cast<QSerialPort::SerialPortError>(error);
    facts.accessAllowed = accessAllowed;
    facts.holder = holder;
    facts.exclusivePorts = exclusivePorts;
    facts.device = QStringLiteral("/dev/ttyUSB0");
    facts.group = QStringLiteral("dialout");
    QCOMPARE(int(OpenAdvice::classify(facts)), cause);
    QCOMPARE(OpenAdvice::advice(facts), advice);
    const QString base = QStringLiteral("Cannot open ttyUSB0: Device or resource busy");
    QCOMPARE(OpenAdvice::message(QStringLiteral("ttyUSB0"), QStringLiteral("Device or resource busy"), facts),
             advice.isEmpty() ? base : base + QStringLiteral(". ") + advice);
}

QTEST_MAIN(TestOpenAdvice)
#include "tst_openadvice.moc"
