// Where config.ini lives: an installed program's in the user's application-data folder (the rule
// and the one copy of an earlier version's file), any other beside the program when it is there or
// the folder can be written, otherwise in the user's folder. Real folders, made unwritable for real.
#include "settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(Settings::ConfigPlace)

class TestConfigDirectory : public QObject
{
    Q_OBJECT

private slots:
    void installedLocation_data();
    void installedLocation();
    void rule_data();
    void rule();
    void programsIniCopiedOnce();
    void choice_data();
    void choice();
    void configPathFollowsTheChoice();
};

void TestConfigDirectory::installedLocation_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<bool>("installed");
    QTest::newRow("/usr/bin") << "/usr/bin" << true;
    QTest::newRow("/usr/bin/ (trailing slash)") << "/usr/bin/" << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
    QTest::newRow("/usr/sbin") << "/usr/sbin" << true;
    QTest::newRow("/bin") << "/bin" << true;
    QTest::newRow("/opt/quorvane/bin") << "/opt/quorvane/bin" << true;
    QTest::newRow("/opt/vendor/quorvane/bin") << "/opt/vendor/quorvane/bin" << true;
    QTest::newRow("Program Files") << "C:/Program Files/Quorvane" << true;
    QTest::newRow("Program Files, native separators") << "C:\\Program Files\\Quorvane" << true;
    QTest::newRow("Program Files (x86), other case") << "D:/PROGRAM FILES (X86)/Vendor/Quorvane" << true;
    QTest::newRow("a user's unpacked zip") << "C:/Users/ann/Downloads/Quorvane-1.0.0-win64" << false;
    QTest::newRow("a folder named like it") << "C:/Users/ann/Program Files backup" << false;
    QTest::newRow("a build tree") << "/home/ann/quorvane/build/app" << false;
    QTest::newRow("/usr/bin's neighbour") << "/usr/bin2" << false;
    QTest::newRow("/usr/share/quorvane") << "/usr/share/quorvane" << false;
    QTest::newRow("/opt/quorvane (no bin)") << "/opt/quorvane" << false;
    QTest::newRow("/home/ann/bin") << "/home/ann/bin" << false;
}

void TestConfigDirectory::installedLocation()
{
    QFETCH(QString, programDir);
    QFETCH(bool, installed);
    QCOMPARE(Settings::isInstalledLocation(programDir), installed);
}

void TestConfigDirectory::rule_data()
{
    using Place = Settings::ConfigPlace;
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("iniBesideProgram");
    QTest::addColumn<bool>("iniInUserFolder");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<Place>("place");
    // An installed program: the user's folder, whether its own folder can be written (root) or not.
    QTest::newRow("installed, writable (root)") << true << false << false << true << Place::UserFolder;
    QTest::newRow("installed, not writable") << true << false << false << false << Place::UserFolder;
    QTest::newRow("installed, earlier version's config.ini")
        << true << true << false << true << Place::UserFolderFromProgramsIni;
    QTest::newRow("installed, earlier config.ini, user's own too")
        << true << true << true << true << Place::UserFolder;
    QTest::newRow("installed, user's own config.ini") << true << false << true << false << Place::UserFolder;
    // Unpacked or built: beside the program where it can be.
    QTest::newRow("unpacked, writable") << false << false << false << true << Place::BesideProgram;
    QTest::newRow("unpacked, config.ini, not writable")
        << false << true << false << false << Place::BesideProgram;
    QTest::newRow("unpacked, config.ini in both") << false << true << true << true << Place::BesideProgram;
    QTest::newRow("unpacked, not writable") << false << false << false << false << Place::UserFolder;
    QTest::newRow("unpacked, not writable, user's config.ini")
        << false << false << true << false << Place::UserFolder;
}

void TestConfigDirectory::rule()
{
    QFETCH(bool, installed);
    QFETCH(bool, iniBesideProgram);
    QFETCH(bool, iniInUserFolder);
    QFETCH(bool, writable);
    QFETCH(Settings::ConfigPlace, place);
    Settings::ConfigFacts facts;
    facts.installed = installed;
    facts.iniBesideProgram = iniBesideProgram;
    facts.iniInUserFolder = iniInUserFolder;
    facts.programFolderWritable = writable;
    QCOMPARE(Settings::decideConfigPlace(facts), place);
}

void TestConfigDirectory::programsIniCopiedOnce()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString program = root.filePath(QStringLiteral("usr/bin"));
    const QString user = root.filePath(QStringLiteral("home/.config/Quorvane")); // not there yet
    QVERIFY(QDir().mkpath(program));
    const QByteArray earlier("[connectInfo]\nlanguage=1\nversion=BMS_V2.1.07_\n");
    QFile old(program + QStringLiteral("/config.ini"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(earlier);
    old.close();

    QCOMPARE(Settings::applyConfigPlace(Settings::ConfigPlace::UserFolderFromProgramsIni, program, user),
             user);
    QFile copy(user + QStringLiteral("/config.ini"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), earlier);
    copy.close();

    // The user's file is theirs from now on: a second start neither copies nor touches either file.
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write("[connectInfo]\nlanguage=0\n");
    copy.close();
    Settings::ConfigFacts facts;
    facts.installed = true;
    facts.iniBesideProgram = true;
    facts.iniInUserFolder = QFile::exists(copy.fileName());
    QCOMPARE(Settings::applyConfigPlace(Settings::decideConfigPlace(facts), program, user), user);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), QByteArray("[connectInfo]\nlanguage=0\n"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), earlier);
}

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
