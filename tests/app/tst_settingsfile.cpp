// config.ini in the program directory (this test's own folder): what start-up reads and writes,
// what a language change writes, and a file that cannot be written.
#include "mainwindow.h"
#include "modalanswerer.h"
#include "settings.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

QString configPath()
{
    return WindowLookup::configPath();
}

void removeConfig()
{
    QFileInfo info(configPath());
    if (info.isDir()) {
        QDir(configPath()).removeRecursively();
    } else {
        QFile::remove(configPath());
    }
}

void writeConfig(const QByteArray &content)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readConfig()
{
    QFile file(configPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

QStringList entriesBesideProgram()
{
    return QDir(QCoreApplication::applicationDirPath())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString buttonText(MainWindow &w, const char *name)
{
    return w.findChild<QPushButton *>(QLatin1String(name))->text();
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { removeConfig(); }
    void cleanupTestCase() { removeConfig(); }

    void pathIsProgramDirectory();
    void noFileAtStart();
    void savedChineseRestored();
    void savedEnglishNotRewritten();
    void languageChangesWritten();
    void otherGroupsAndKeysUntouched();
    void versionCutToTwelve_data();
    void versionCutToTwelve();
    void unwritableConfig();
    void retries_data();
    void retries();
};

void TestSettingsFile::pathIsProgramDirectory()
{
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    QCOMPARE(Settings::configPath(), configPath());
    QVERIFY(QDir::setCurrent(before));
}

void TestSettingsFile::noFileAtStart()
{
    const QStringList before = entriesBesideProgram();
    {
        MainWindow w;
        QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->currentIndex(), 0);
        QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("Start DownLoad"));
    }
    QVERIFY(!QFile::exists(configPath()));
    QCOMPARE(entriesBesideProgram(), before);
    QCOMPARE(Settings::language(), 0u);
    QCOMPARE(Settings::version(), QString());
}

void TestSettingsFile::savedChineseRestored()
{
    // "01" reads as 1; the window writes it back as it writes every choice: "1".
    writeConfig("[connectInfo]\nlanguage=01\nversion=P16S100A-V2\n");
    MainWindow w;
    QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->currentIndex(), 1);
    QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("开始下载"));
    QCOMPARE(w.windowTitle(), QStringLiteral("BMS"));

    const QByteArray content = readConfig();
    QVERIFY2(content.contains("language=1\n"), content.constData());
    QVERIFY2(!content.contains("language=01"), content.constData());
    QVERIFY2(content.contains("version=P16S100A-V2\n"), content.constData());
    QCOMPARE(Settings::language(), 1u);
    QCOMPARE(Settings::version(), QStringLiteral("P16S100A-V2"));
}

void TestSettingsFile::savedEnglishNotRewritten()
{
    const QByteArray original("[connectInfo]\nlanguage=00\n");
    writeConfig(original);
    {
        MainWindow w;
        QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("Start DownLoad"));
    }
    QCOMPARE(readConfig(), original);
}

void TestSettingsFile::languageChangesWritten()
{
    MainWindow w;
    QComboBox *language = w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
    language->setCurrentIndex(1);
    QVERIFY(QFile::exists(configPath()));
    QCOMPARE(Settings::language(), 1u);
    {
        QSettings raw(configPath(), QSettings::IniFormat);
        QCOMPARE(raw.childGroups(), QStringList{QStringLiteral("connectInfo")});
        QCOMPARE(raw.allKeys(), QStringList{QStringLiteral("connectInfo/language")});
    }
    language->setCurrentIndex(0);
    QCOMPARE(Settings::language(), 0u);
    QVERIFY(readConfig().contains("language=0\n"));
}

void TestSettingsFile::otherGroupsAndKeysUntouched()
{
    writeConfig("[connectInfo]\nversion=ABC\nother=7\n\n[elsewhere]\nlanguage=5\n");
    MainWindow w;
    QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->currentIndex(), 0);
    w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(1);
    QSettings raw(configPath(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("connectInfo/language")).toInt(), 1);
    QCOMPARE(raw.value(QStringLiteral("connectInfo/version")).toString(), QStringLiteral("ABC"));
    QCOMPARE(raw.value(QStringLiteral("connectInfo/other")).toInt(), 7);
    QCOMPARE(raw.value(QStringLiteral("elsewhere/language")).toInt(), 5);
}

void TestSettingsFile::versionCutToTwelve_data()
{
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("saved");
    QTest::newRow("long") << "P16S100A-V2.03-20240101"
                          << "P16S100A-V2.";
    QTest::newRow("exactly twelve") << "ABCDEFGHIJKL"
                                    << "ABCDEFGHIJKL";
    QTest::newRow("short") << "V1"
                           << "V1";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSettingsFile::versionCutToTwelve()
{
    QFETCH(QString, reported);
    QFETCH(QString, saved);
    writeConfig("[connectInfo]\nlanguage=0\n");
    Settings::setVersion(reported);
    QCOMPARE(Settings::version(), saved);
    QCOMPARE(Settings::language(), 0u);
}

void TestSettingsFile::retries_data()
{
    QTest::addColumn<QByteArray>("line"); // in [connectInfo]
    QTest::addColumn<int>("retries");
    // Every row's file has a size of its own: QSettings reads a file again only when that changed.
    QTest::newRow("absent: the default, none") << QByteArray() << 0;
    QTest::newRow("three") << QByteArray("retries=3") << 3;
    QTest::newRow("not a number") << QByteArray("retries=many") << 0;
    QTest::newRow("negative") << QByteArray("retries=-2") << 0;
    QTest::newRow("above the most") << QByteArray("retries=100") << 10;
}

void TestSettingsFile::retries()
{
    QFETCH(QByteArray, line);
    QFETCH(int, retries);
    writeConfig("[connectInfo]\nlanguage=0\n" + line + "\n");
    QCOMPARE(Settings::retries(), retries);
}

void TestSettingsFile::unwritableConfig()
{
    // A directory where the file should be: nothing can be read from or written to it.
    QVERIFY(QDir().mkpath(configPath()));
    const QStringList before = entriesBesideProgram();
    ModalAnswerer answerer;
    {
        MainWindow w;
        QComboBox *language = w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
        QCOMPARE(language->currentIndex(), 0);
        language->setCurrentIndex(1);
        QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("开始下载"));
        QCOMPARE(buttonText(w, "btn_openConsole"), QStringLiteral("打开串口"));
        language->setCurrentIndex(0);
        QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("Start DownLoad"));
        language->setCurrentIndex(1);
        QCOMPARE(buttonText(w, "btnStart"), QStringLiteral("开始下载"));
        Settings::setVersion(QStringLiteral("P16S100A-V2.03"));
    }
    QVERIFY(QFileInfo(configPath()).isDir());
    QCOMPARE(entriesBesideProgram(), before);
    QVERIFY(QDir(configPath()).isEmpty());
    QVERIFY(answerer.seen().isEmpty());
}

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
