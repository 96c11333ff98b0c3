// The open button's caption follows the port state through a change of language: a real
// pseudo-terminal is opened from the window, then the language is switched both ways.
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

class TestPortCaption : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void captionFollowsPortState();

private:
    int m_master = -1;
    QString m_slave;
};

void TestPortCaption::initTestCase()
{
    QFile::remove(WindowLookup::configPath());
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(m_master >= 0);
    QCOMPARE(grantpt(m_master), 0);
    QCOMPARE(unlockpt(m_master), 0);
    const char *name = ptsname(m_master);
    QVERIFY(name != nullptr);
    m_slave = QString::fromLocal8Bit(name);
}

void TestPortCaption::cleanupTestCase()
{
    if (m_master >= 0) {
        ::close(m_master);
    }
    QFile::remove(WindowLookup::configPath());
}

void TestPortCaption::captionFollowsPortState()
{
    ModalAnswerer answerer;
    MainWindow w;
    w.setExtraPort(m_slave);
    auto *open = w.findChild<QPushButton *>(QStringLiteral("btn_openConsole"));
    auto *language = w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
    QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("comboBox_serialPort"))->currentText(), m_slave);

    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(MainWindowTestAccess::portOpen(w));
    QCOMPARE(open->text(), QStringLiteral("Close Serial"));

    language->setCurrentIndex(1);
    QCOMPARE(open->text(), QStringLiteral("关闭串口"));
    QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("btnStart"))->text(), QStringLiteral("开始下载"));
    QVERIFY(MainWindowTestAccess::portOpen(w));

    // A press now closes the port, in the new language.
    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(!MainWindowTestAccess::portOpen(w));
    QCOMPARE(open->text(), QStringLiteral("打开串口"));

    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(MainWindowTestAccess::portOpen(w));
    QCOMPARE(open->text(), QStringLiteral("关闭串口"));
    language->setCurrentIndex(0);
    QCOMPARE(open->text(), QStringLiteral("Close Serial"));
    QCOMPARE(w.windowTitle(), QStringLiteral("BMS"));
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("lbStatus"))->styleSheet().endsWith("rgb(0, 255, 0)"));

    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(!MainWindowTestAccess::portOpen(w));
    QCOMPARE(open->text(), QStringLiteral("Open Serial"));
    QVERIFY(answerer.seen().isEmpty());
}

QTEST_MAIN(TestPortCaption)
#include "tst_portcaption.moc"
