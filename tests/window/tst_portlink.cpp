// The serial settings group of the real window: the port and parameter lists, opening and closing
// the port against the pack simulator on a pseudo-terminal, failed opens, a vanished adapter and a
// change of language while the port is open.
#include "mainwindowtestaccess.h"
#include "packsimulator.h"
#include "windowfixture.h"

#include "portidentity.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <QSerialPortInfo>
#include <QStatusBar>
#include <QVariant>

using PackSim::Kind;
using PackSim::PackSimulator;
using Access = MainWindowTestAccess;

class TestPortLink : public WindowFixture
{
    Q_OBJECT

private slots:
    void parameterLists_data();
    void parameterLists();
    void extraPortComesFirstWithItsRecord();
    void platformPortRecords();
    void refreshRebuildsAndKeepsSelection();

    void openQueriesVersionAndCloses();
    void reopenConnectsReadDataOnce();
    void openFails_data();
    void openFails();
    void modemLineErrorsAreNoFailure();
    void adapterPulledClosesThePort();
    void languageChangeWhileOpenKeepsTheButtonsMeaning();
};

void TestPortLink::parameterLists_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QVariantList>("data");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("visible");

    const QString none = QString(QChar(0x65E0));
    QTest::newRow("baud rate") << "comboBox_baudRate" << QStringList{"9600", "19200", "38400", "115200"}
                               << QVariantList{9600, 19200, 38400, 115200} << 0 << true;
    QTest::newRow("data bits") << "comboBox_dataBits" << QStringList{"5", "6", "7", "8"}
                               << QVariantList{5, 6, 7, 8} << 3 << false;
    QTest::newRow("parity") << "comboBox_parity" << QStringList{none, "Even", "Odd", "Mark", "Space"}
                            << QVariantList{0, 2, 3, 5, 4} << 0 << false;
    QTest::newRow("stop bits") << "comboBox_stopBit" << QStringList{"1", "2"} << QVariantList{1, 2} << 0
                               << false;
    QTest::newRow("flow control") << "comboBox_flowBit" << QStringList{none, "RTS/CTS", "XON/XOFF"}
                                  << QVariantList{0, 1, 2} << 0 << false;
}

void TestPortLink::parameterLists()
{
    QFETCH(QString, list);
    QFETCH(QStringList, texts);
    QFETCH(QVariantList, data);
    QFETCH(int, current);
    QFETCH(bool, visible);

    QComboBox *box = combo(*m_window, qPrintable(list));
    QVERIFY(box);
    QStringList gotTexts;
    QVariantList gotData;
    for (int i = 0; i < box->count(); ++i) {
        gotTexts << box->itemText(i);
        gotData << box->itemData(i).toInt();
        QVERIFY(box->itemIcon(i).isNull());
    }
    QCOMPARE(gotTexts, texts);
    QCOMPARE(gotData, data);
    QCOMPARE(box->currentIndex(), current);
    QCOMPARE(box->isVisible(), visible);
    QVERIFY(box->isEnabled());

    // Switching the interface language leaves the parameter lists as they are.
    combo(*m_window, "cbxLanguage")->setCurrentIndex(1);
    gotTexts.clear();
    for (int i = 0; i < box->count(); ++i) {
        gotTexts << box->itemText(i);
    }
    QCOMPARE(gotTexts, texts);
    combo(*m_window, "cbxLanguage")->setCurrentIndex(0);
}

void TestPortLink::extraPortComesFirstWithItsRecord()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    const int before = combo(*m_window, "comboBox_serialPort")->count();
    m_window->setExtraPort(pty.slavePath());

    QComboBox *ports = combo(*m_window, "comboBox_serialPort");
    QCOMPARE(ports->count(), before + 1);
    QCOMPARE(ports->itemText(0), pty.slavePath());
    QCOMPARE(ports->currentIndex(), 0);
    const QStringList record{pty.slavePath(), "N/A", "N/A", "N/A", pty.slavePath(), "N/A", "N/A"};
    QCOMPARE(ports->itemData(0).toStringList(), record);
}

void TestPortLink::platformPortRecords()
{
    // Whatever ports this machine has: each listed once, in the platform's order, with its record.
    TraceCapture traces;
    QTest::mouseClick(button(*m_window, "btnStartMonit"), Qt::LeftButton);
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    QCOMPARE(TraceCapture::startingWith("Total numbers of ports: "),
             QStringList{QStringLiteral("Total numbers of ports: %1").arg(infos.size())});

    QComboBox *ports = combo(*m_window, "comboBox_serialPort");
    QCOMPARE(ports->count(), infos.size());
    for (int i = 0; i < infos.size(); ++i) {
        const QSerialPortInfo &info = infos.at(i);
        const auto orNa = [](const QString &s) { return s.isEmpty() ? QStringLiteral("N/A") : s; };
        const auto id = [](quint16 v) { return v == 0 ? QStringLiteral("N/A") : QString::number(v, 16); };
        const QStringList record{info.portName(),
                                 orNa(info.description()),
                                 orNa(info.manufacturer()),
                                 orNa(info.serialNumber()),
                                 info.systemLocation(),
                                 id(info.vendorIdentifier()),
                                 id(info.productIdentifier())};
        QCOMPARE(ports->itemText(i), info.portName());
        QCOMPARE(ports->itemData(i).toStringList(), record);
        for (const QString &field : record.mid(5)) {
            if (field != QLatin1String("N/A")) {
                QCOMPARE(field, field.toLower());
            }
        }
    }
}

void TestPortLink::refreshRebuildsAndKeepsSelection()
{
    PtyPair pty;
    QVERIFY(pty.isOpen());
    m_window->setExtraPort(pty.slavePath());
    QComboBox *ports = combo(*m_window, "comboBox_serialPort");

    QStringList expected{pty.slavePath()};
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        expected << info.portName();
    }
    const auto listed = [ports] {
        QStringList names;
        for (int i = 0; i < ports->count(); ++i) {
            names << ports->itemText(i);
        }
        return names;
    };
    QCOMPARE(listed(), expected);

    // Refreshing again and again lists every port once, the extra one first.
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(button(*m_window, "btnStartMonit"), Qt::LeftButton);
        QCOMPARE(listed(), expected);
        QCOMPARE(ports->currentText(), pty.slavePath());
    }

    // A platform port chosen by the user stays chosen.
    if (ports->count() > 1) {
        ports->setCurrentIndex(ports->count() - 1);
        const QString chosen = ports->currentText();
        QTest::mouseClick(button(*m_window, "btnStartMonit"), Qt::LeftButton);
        QCOMPARE(ports->currentText(), chosen);
        QCOMPARE(listed(), expected);
    }

    // While the port is open the (disabled) list is still refreshed and keeps the open port.
    PackSimulator pack;
    pack.setReportViolationsOnStderr(false);
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    openOn(pack.slavePath());
    QTRY_VERIFY(Access::portOpen(*m_window));
    QTest::mouseClick(button(*m_window, "btnStartMonit"), Qt::LeftButton);
    QCOMPARE(ports->itemText(0), pack.slavePath());
    QCOMPARE(ports->currentText(), pack.slavePath());
    QCOMPARE(ports->count(), expected.size());
    QVERIFY(!ports->isEnabled());
}

void TestPortLink::openQueriesVersionAndCloses()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    const QString version = QStringLiteral("BMS_V2.1.07_2026-long-text");
    QVERIFY(pack.setVersionText(version));
    QSignalSpy versions(&Access::exchange(*m_window), &Download::Exchange::versionReported);

    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    openOn(pack.slavePath());

    QVERIFY(Access::portOpen(*m_window));
    QCOMPARE(lamp(*m_window)->styleSheet(), greenLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Close Serial"));
    QVERIFY(listsEnabled(*m_window, false));
    QVERIFY(button(*m_window, "btnStartMonit")->isEnabled());
    QCOMPARE(Access::exchange(*m_window).state().pending, eFuncVersion);

    // Five copies of the 18-byte query, byte for byte, and nothing else.
    QTRY_COMPARE(pack.commandCount(Kind::Version), 5);
    const QByteArray query = QByteArray::fromHex("BC30313031343643313030303046444130 0D");
    QCOMPARE(query.size(), 18);
    for (const PackSim::ReceivedFrame &frame : pack.receivedFrames()) {
        QCOMPARE(frame.bytes, query);
    }
    QCOMPARE(pack.totalCommands(), 5);
    QCOMPARE(pack.rejectedFrames(), 0);

    // The version: whole in the field, 12 characters in config.ini.
    QTRY_COMPARE(versionField(*m_window)->text(), version);
    QCOMPARE(Access::version(*m_window), version);
    QCOMPARE(savedVersion(), version.left(12));
    QTRY_COMPARE(versions.count(), 5);

    QTest::mouseClick(button(*m_window, "btn_openConsole"), Qt::LeftButton);
    QVERIFY(!Access::portOpen(*m_window));
    QVERIFY(!Access::port(*m_window)->isOpen());
    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Open Serial"));
    QVERIFY(listsEnabled(*m_window, true));
}

// Closing and opening again: each reply is taken once (no second connection of the port's
// notification), and the version arrives as before.
void TestPortLink::reopenConnectsReadDataOnce()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    QSignalSpy versions(&Access::exchange(*m_window), &Download::Exchange::versionReported);
    QPushButton *openButton = button(*m_window, "btn_openConsole");

    openOn(pack.slavePath());
    QTRY_COMPARE(pack.repliesSent(), 5);
    QTRY_COMPARE(versions.count(), 5);
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(!Access::portOpen(*m_window));
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(Access::portOpen(*m_window));

    QTRY_COMPARE(pack.repliesSent(), 10);
    QTRY_COMPARE(versions.count(), 10);
    QVERIFY(Access::exchange(*m_window).received().isEmpty());
    QCOMPARE(versionField(*m_window)->text(), QString::fromLatin1(PackSimulator::kDefaultVersionText));
}

void TestPortLink::openFails_data()
{
    QTest::addColumn<int>("held"); // 0: no device; 1: open elsewhere; 2: held elsewhere under a link
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing device") << 0 << "";
    QTest::newRow("device open elsewhere") << 1 << "";
    // Another program holds the device under another name (root passes the device's own
    // exclusive mode): the device, not the name, is refused, and the window names the holder.
    QTest::newRow("device held under a link") << 2 << "The port is in use by";
}

void TestPortLink::openFails()
{
    QFETCH(int, held);
    QFETCH(QString, reason);
    PtyPair pty;
    QVERIFY(pty.isOpen());
    QSerialPort other;
    QString device = QStringLiteral("/dev/quorvane-no-such-port");
    QTemporaryDir dir;
    if (held > 0) {
        device = pty.slavePath();
        other.setPortName(device);
        QVERIFY2(other.open(QIODevice::ReadWrite), qPrintable(other.errorString()));
    }
    if (held == 2) {
        QString why;
        QVERIFY2(PortIdentity::lockOpenPort(other, &why), qPrintable(why));
        device = dir.filePath(QStringLiteral("by-id-pack"));
        QVERIFY(QFile::link(pty.slavePath(), device));
    }

    openOn(device);
    QCoreApplication::sendPostedEvents();

    QVERIFY(!Access::portOpen(*m_window));
    QVERIFY(!Access::port(*m_window)->isOpen());
    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Open Serial"));
    QVERIFY(listsEnabled(*m_window, true));
    QVERIFY(pty.received().isEmpty());
    QVERIFY(m_answerer->seen().isEmpty());
    if (!reason.isEmpty()) {
        const QString message = m_window->statusBar()->currentMessage();
        QVERIFY2(message.startsWith(QStringLiteral("Cannot open %1: ").arg(device)) &&
                     message.contains(reason),
                 qPrintable(message));
    }
}

void TestPortLink::modemLineErrorsAreNoFailure()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    openOn(pack.slavePath());
    QVERIFY(Access::portOpen(*m_window));
    QTRY_COMPARE(pack.repliesSent(), 5);

    // Modem lines on a pseudo-terminal: the device refuses; the port is still fine.
    QSerialPort *port = Access::port(*m_window);
    port->setDataTerminalReady(true);
    port->setRequestToSend(true);
    emit port->errorOccurred(QSerialPort::UnsupportedOperationError);
    // A read error on a port that is still there is no reason to give it up either.
    emit port->errorOccurred(QSerialPort::ReadError);
    QCoreApplication::sendPostedEvents();

    QVERIFY(Access::portOpen(*m_window));
    QVERIFY(port->isOpen());
    QCOMPARE(lamp(*m_window)->styleSheet(), greenLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Close Serial"));

    // And the link still works both ways.
    versionField(*m_window)->clear();
    QTest::mouseClick(button(*m_window, "btnGetVer"), Qt::LeftButton);
    QTRY_COMPARE(pack.repliesSent(), 10);
    QTRY_COMPARE(versionField(*m_window)->text(), QString::fromLatin1(PackSimulator::kDefaultVersionText));
}

void TestPortLink::adapterPulledClosesThePort()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    const QString device = pack.slavePath();
    openOn(device);
    QVERIFY(Access::portOpen(*m_window));
    QTRY_COMPARE(pack.repliesSent(), 5);

    pack.pullAdapter();
    QTRY_VERIFY(!Access::portOpen(*m_window));
    QVERIFY(!Access::port(*m_window)->isOpen());
    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Open Serial"));
    QVERIFY(listsEnabled(*m_window, true));

    // The next press tries to open again and fails: the device is gone, and the status bar says so.
    QTest::mouseClick(button(*m_window, "btn_openConsole"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents();
    QVERIFY(!Access::portOpen(*m_window));
    const QString message = m_window->statusBar()->currentMessage();
    QVERIFY2(message.startsWith(QStringLiteral("Cannot open %1: ").arg(device)), qPrintable(message));
    QVERIFY(message.size() > QStringLiteral("Cannot open %1: ").arg(device).size()); // the system's reason
    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    QCOMPARE(button(*m_window, "btn_openConsole")->text(), QStringLiteral("Open Serial"));
}

void TestPortLink::languageChangeWhileOpenKeepsTheButtonsMeaning()
{
    PackSimulator pack;
    QVERIFY2(pack.openPty(), qPrintable(pack.errorString()));
    openOn(pack.slavePath());
    QVERIFY(Access::portOpen(*m_window));
    QTRY_COMPARE(pack.repliesSent(), 5);

    QPushButton *openButton = button(*m_window, "btn_openConsole");
    combo(*m_window, "cbxLanguage")->setCurrentIndex(1);
    const QString closeCaption = QCoreApplication::translate("MainWindow", "Close Serial");
    const QString openCaption = QCoreApplication::translate("MainWindow", "Open Serial");
    QCOMPARE(openButton->text(), closeCaption);
    QVERIFY(Access::portOpen(*m_window));

    // The press closes: it does not try to open the port that is already open.
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(!Access::portOpen(*m_window));
    QVERIFY(!Access::port(*m_window)->isOpen());
    QCOMPARE(openButton->text(), openCaption);
    QCOMPARE(lamp(*m_window)->styleSheet(), redLamp());
    QVERIFY(listsEnabled(*m_window, true));

    // Back to English while closed: the caption still follows the state.
    combo(*m_window, "cbxLanguage")->setCurrentIndex(0);
    QCOMPARE(openButton->text(), QStringLiteral("Open Serial"));
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(Access::portOpen(*m_window));
    QCOMPARE(openButton->text(), QStringLiteral("Close Serial"));
    QTest::mouseClick(openButton, Qt::LeftButton);
    QVERIFY(!Access::portOpen(*m_window));
}

QTEST_MAIN(TestPortLink)
#include "tst_portlink.moc"
