// The system's reason for a port that did not open, in the window's language: the Chinese window
// has its own words for the common causes and keeps the system's text behind a sentence of its
// own for the rest; the English window shows the system's text as it is.
#include "mainwindow.h"
#include "openadvice.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTranslator>
#include <QtTest>

class TestOpenReason : public QObject
{
    Q_OBJECT

private slots:
    void reason_data();
    void reason();
    void missingPortInTheChineseWindow();
};

void TestOpenReason::reason_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("accessAllowed");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("chinese");
    const int denied = QSerialPort::PermissionError;
    QTest::newRow("not found") << int(QSerialPort::DeviceNotFoundError) << true << ""
                               << "No such file or directory"
                               << "串口不存在";
    QTest::newRow("permission denied") << denied << false << ""
                                       << "Permission denied"
                                       << "没有访问权限";
    QTest::newRow("busy") << denied << true << ""
                          << "Device or resource busy"
                          << "串口忙或已被占用";
    QTest::newRow("in use, holder known") << denied << false << "minicom (pid 812)"
                                          << "Permission error while locking the device"
                                          << "串口忙或已被占用";
    QTest::newRow("device gone") << int(QSerialPort::ResourceError) << true << ""
                                 << "Input/output error"
                                 << "设备已断开";
    QTest::newRow("anything else") << int(QSerialPort::OpenError) << true << ""
                                   << "Device is already open"
                                   << "系统报告错误：Device is already open";
    QTest::newRow("unknown") << int(QSerialPort::UnknownError) << true << ""
                             << "Unknown error 524"
                             << "系统报告错误：Unknown error 524";
}

void TestOpenReason::reason()
{
    QFETCH(int, error);
    QFETCH(bool, accessAllowed);
    QFETCH(QString, holder);
    QFETCH(QString, system);
    QFETCH(QString, chinese);
    OpenAdvice::Facts facts;
    facts.error = static_cast<QSerialPort::SerialPortError>(error);
    facts.accessAllowed = accessAllowed;
    facts.holder = holder;
    QCOMPARE(OpenAdvice::reason(facts, system), system);

    QTranslator translation;
    QVERIFY(translation.load(QStringLiteral(":/language/Quorvane_zh_CN.qm")));
    QCoreApplication::installTranslator(&translation);
    const QString shown = OpenAdvice::reason(facts, system);
    const QString message = OpenAdvice::message(QStringLiteral("/dev/ttyUSB9"), system, facts);
    QCoreApplication::removeTranslator(&translation);
    QCOMPARE(shown, chinese);
    QVERIFY2(message.startsWith(QStringLiteral("无法打开/dev/ttyUSB9：") + chinese), qPrintable(message));
}

// The window as the user sees it: the log and the status bar.
void TestOpenReason::missingPortInTheChineseWindow()
{
    QFile::remove(WindowLookup::configPath());
    {
        MainWindow window;
        window.show();
        WindowLookup::child<QComboBox>(window, "cbxLanguage")->setCurrentIndex(1);
        const QString device = QStringLiteral("/dev/quorvane-no-such-port");
        window.setExtraPort(device);
        QTest::mouseClick(WindowLookup::child<QPushButton>(window, "btn_openConsole"), Qt::LeftButton);
        const QString expected = QStringLiteral("无法打开%1：串口不存在").arg(device);
        QCOMPARE(window.statusBar()->currentMessage(), expected);
        const QListWidget *log = WindowLookup::child<QListWidget>(window, "listWidget");
        QCOMPARE(log->count(), 1);
        QCOMPARE(log->item(0)->text().mid(15), expected);
    }
    QFile::remove(WindowLookup::configPath());
}

QTEST_MAIN(TestOpenReason)
#include "tst_openreason.moc"
