// Settings files the window does not write itself: a language the list does not have starts the
// window in English, and a config.ini that is no regular file (a FIFO here, which would block its
// opener until some program writes into it) is left alone, with a trace, at start and at every
// read and write, by the window and by the shared choice of the data folder alike.
#include "mainwindow.h"
#include "modalanswerer.h"
#include "settings.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category && qstrcmp(context.category, "quorvane.datafolder") == 0) {
        g_warnings.append(message);
        return;
    }
    g_previous(type, context, message);
}

void writeLanguage(const QByteArray &value)
{
    QFile file(WindowLookup::configPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[connectInfo]\nlanguage=" + value + "\n");
}

bool isFifo(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

} // namespace

class TestSettingsQuirks : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(WindowLookup::configPath());
        g_warnings.clear();
        g_previous = qInstallMessageHandler(collect);
    }
    void cleanup()
    {
        qInstallMessageHandler(g_previous);
        QFile::remove(WindowLookup::configPath());
    }

    void savedLanguage_data();
    void savedLanguage();
    void fifoIsIgnored();
    void fifoBesideInstalledProgramIsNotCopied();
};

void TestSettingsQuirks::savedLanguage_data()
{
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << QByteArray("0") << 0 << "Open Serial";
    QTest::newRow("1") << QByteArray("1") << 1 << "打开串口";
    QTest::newRow("2") << QByteArray("2") << 0 << "Open Serial";
    QTest::newRow("99") << QByteArray("99") << 0 << "Open Serial";
    QTest::newRow("-1") << QByteArray("-1") << 0 << "Open Serial";
}

void TestSettingsQuirks::savedLanguage()
{
    QFETCH(QByteArray, saved);
    QFETCH(int, index);
    QFETCH(QString, caption);
    writeLanguage(saved);
    MainWindow window;
    QCOMPARE(WindowLookup::child<QComboBox>(window, "cbxLanguage")->currentIndex(), index);
    QCOMPARE(WindowLookup::child<QPushButton>(window, "btn_openConsole")->text(), caption);
    QCOMPARE(WindowLookup::child<QPushButton>(window, "btnFileLoad")->text(),
             index ? QStringLiteral("加载文件") : QStringLiteral("Load File"));
}

// Were the FIFO opened, the test would hang here (and run into its time limit).
void TestSettingsQuirks::fifoIsIgnored()
{
    const QString path = WindowLookup::configPath();
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    {
        ModalAnswerer answerer;
        MainWindow window;
        window.show();
        QCOMPARE(WindowLookup::child<QComboBox>(window, "cbxLanguage")->currentIndex(), 0);
        WindowLookup::child<QComboBox>(window, "cbxLanguage")->setCurrentIndex(1); // a write
        QCOMPARE(WindowLookup::child<QPushButton>(window, "btn_openConsole")->text(),
                 QStringLiteral("打开串口"));
    }
    QCOMPARE(Settings::version(), QString());
    Settings::setVersion(QStringLiteral("BMS_V2.1.07_2026"));
    QCOMPARE(Settings::retries(), 0);
    QVERIFY(isFifo(path));
    QVERIFY(!g_warnings.isEmpty());
    QVERIFY2(g_warnings.first().contains(path) &&
                 g_warnings.first().contains(QStringLiteral("not a regular file")),
             qPrintable(g_warnings.first()));
}

// An installed program's old config.ini is copied to the user's folder once: not when it is a FIFO.
void TestSettingsQuirks::fifoBesideInstalledProgramIsNotCopied()
{
    QTemporaryDir program;
    QTemporaryDir user;
    const QString fifo = program.filePath(QStringLiteral("config.ini"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QCOMPARE(Settings::applyConfigPlace(Settings::ConfigPlace::UserFolderFromProgramsIni, program.path(),
                                        user.path()),
             user.path());
    QVERIFY(!QFileInfo::exists(user.filePath(QStringLiteral("config.ini"))));
    QCOMPARE(g_warnings.size(), 2); // not a regular file, so not copied
}

QTEST_MAIN(TestSettingsQuirks)
#include "tst_settingsquirks.moc"
