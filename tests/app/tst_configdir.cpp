// Where config.ini lives: beside the program when it is there or the folder can be written,
// otherwise in the user's application-data folder. Real folders, made unwritable for real.
#include "settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TestConfigDirectory : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void configPathFollowsTheChoice();
};

void TestConfigDirectory::choice_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("besideProgram");
    QTest::newRow("writable folder") << "writable" << true;
    QTest::newRow("writable folder with config.ini") << "writable+ini" << true;
    QTest::newRow("read-only folder with config.ini") << "readonly+ini" << true;
    QTest::newRow("read-only folder without config.ini") << "readonly" << false;
    QTest::newRow("folder where no file can be made, even by root (/proc)") << "proc" << false;
    QTest::newRow("missing folder") << "missing" << false;
}

void TestConfigDirectory::choice()
{
    QFETCH(QString, kind);
    QFETCH(bool, besideProgram);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString fallback = root.filePath(QStringLiteral("appdata"));
    QString program = root.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(program));

    if (kind.endsWith(QLatin1String("+ini"))) {
        QFile ini(program + QStringLiteral("/config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[connectInfo]\nlanguage=1\n");
    }
    if (kind.startsWith(QLatin1String("readonly"))) {
        QVERIFY(::chmod(QFile::encodeName(program).constData(), 0555) == 0);
        if (kind == QLatin1String("readonly") && ::geteuid() == 0) {
            ::chmod(QFile::encodeName(program).constData(), 0755);
            QSKIP("running as root: mode 0555 does not stop root from creating files, so the folder "
                  "is writable (the /proc row covers a folder that refuses files to root)");
        }
    }
    if (kind == QLatin1String("proc")) {
        program = QStringLiteral("/proc");
    }
    if (kind == QLatin1String("missing")) {
        program = root.filePath(QStringLiteral("no-such-folder"));
    }
    const QStringList before = QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    const QString chosen = Settings::chooseConfigDirectory(program, fallback);

    QCOMPARE(chosen, besideProgram ? program : fallback);
    // The writability probe leaves nothing behind.
    if (kind != QLatin1String("proc")) {
        QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
    }
    ::chmod(QFile::encodeName(root.filePath(QStringLiteral("program"))).constData(), 0755);
}

void TestConfigDirectory::configPathFollowsTheChoice()
{
    // The test program's own folder (the build tree) is writable: config.ini goes beside it.
    QCOMPARE(Settings::configDirectory(), QCoreApplication::applicationDirPath());
    QCOMPARE(Settings::configPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"));
}

QTEST_GUILESS_MAIN(TestConfigDirectory)
#include "tst_configdir.moc"
