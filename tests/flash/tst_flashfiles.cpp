// Files quorvane-flash must not lose or mistake, each written for real: the --json report onto a
// FIFO, a full device and a full disk, the download record on a full disk and in a folder that is
// not there, the station's report rewrites gathered to one a second, and a firmware file still
// being copied when a pack (a simulator on a pseudo-terminal) arrives. A full disk is the
// file-size limit (RLIMIT_FSIZE): the same refused write as a full file system, without a mount.
#include "downloadrecord.h"
#include "firmwarestore.h"
#include "packsimulator.h"
#include "reportfile.h"
#include "stationport.h"
#include "testfirmware.h"
#include "throttle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// While it lives, no file of this process may grow past limit bytes (a disk that is full there).
class FullDiskAt
{
public:
    explicit FullDiskAt(rlim_t limit)
    {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit full = m_old;
        full.rlim_cur = limit;
        m_set = setrlimit(RLIMIT_FSIZE, &full) == 0;
    }
    ~FullDiskAt() { setrlimit(RLIMIT_FSIZE, &m_old); }
    bool set() const { return m_set; }

private:
    rlimit m_old{};
    bool m_set = false;
};

Download::Record aRecord()
{
    Download::Record r;
    r.started = r.ended = QDateTime::currentDateTime();
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.outcome = QStringLiteral("confirmed");
    return r;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool isCharacterDevice(const char *path)
{
    struct stat info
    {
    };
    return ::stat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

class TestFlashFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reportIntoAFifoInPlace();
    void reportOntoAFullDevice();
    void reportOnAFullDiskKeepsTheOld();
    void recordOnAFullDisk();
    void recordNeverLeavesHalfALine();
    void recordFolderSaysWhy_data();
    void recordFolderSaysWhy();
    void reportTarget_data();
    void reportTarget();
    void reportRewritesGathered();
    void halfCopiedFirmwareWaits();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestFlashFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// A FIFO (as a device) is written where it is: renamed over, it would be a plain file from then on.
void TestFlashFiles::reportIntoAFifoInPlace()
{
    const QByteArray fifo = m_dir->filePath(QStringLiteral("report.fifo")).toLocal8Bit();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QString why;
    QVERIFY2(Flash::writeReportFile(QString::fromLocal8Bit(fifo), "[]\n", &why), qPrintable(why));
    char got[8] = {};
    QCOMPARE(::read(reader, got, sizeof got), ssize_t(3));
    ::close(reader);
    QCOMPARE(QByteArray(got), QByteArray("[]\n"));
    struct stat info
    {
    };
    QVERIFY(::stat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), 1);
}

void TestFlashFiles::reportOntoAFullDevice()
{
    QString why;
    QVERIFY(!Flash::writeReportFile(QStringLiteral("/dev/full"), QByteArray(100, 'x'), &why));
    QCOMPARE(why, QStringLiteral("disk full"));
    QVERIFY(isCharacterDevice("/dev/full"));
    std::FILE *full = std::fopen("/dev/full", "w");
    QVERIFY(full);
    QVERIFY(!Flash::writeReportStream(full, QByteArray(100, 'x'), &why)); // --json - > /dev/full
    std::fclose(full);
    QCOMPARE(why, QStringLiteral("disk full"));
}

// The disk fills while the new report is written: the old one stays, no temporary file is left.
void TestFlashFiles::reportOnAFullDiskKeepsTheOld()
{
    const QString path = m_dir->filePath(QStringLiteral("report.json"));
    QString why;
    QVERIFY2(Flash::writeReportFile(path, "old", &why), qPrintable(why));
    {
        FullDiskAt full(4096);
        QVERIFY(full.set());
        // Smaller than Qt's write buffer: the refusal comes at the flush, not at the write.
        QVERIFY(!Flash::writeReportFile(path, QByteArray(8 * 1024, 'x'), &why));
    }
    QVERIFY2(!why.isEmpty(), "a reason");
    QCOMPARE(contents(path), QByteArray("old"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.json"});
}

void TestFlashFiles::recordOnAFullDisk()
{
    const QString path = m_dir->filePath(QStringLiteral("downloads.jsonl"));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("Cannot call seek on a sequential")));
    QString why;
    QVERIFY(!Download::appendRecord(path, aRecord(), &why));
    QCOMPARE(why, QStringLiteral("disk full"));
}

// A line that only partly goes in is taken back: the next record starts on a line of its own.
void TestFlashFiles::recordNeverLeavesHalfALine()
{
    const QString path = m_dir->filePath(QStringLiteral("downloads.jsonl"));
    QString why;
    QVERIFY2(Download::appendRecord(path, aRecord(), &why), qPrintable(why));
    const QByteArray before = contents(path);
    {
        FullDiskAt full(static_cast<rlim_t>(before.size() + 20));
        QVERIFY(full.set());
        QVERIFY(!Download::appendRecord(path, aRecord(), &why));
    }
    QVERIFY2(!why.isEmpty() && !why.contains(QLatin1String("Unknown error")), qPrintable(why));
    QCOMPARE(contents(path), before);
}

void TestFlashFiles::recordFolderSaysWhy_data()
{
    QTest::addColumn<QString>("record"); // below the test's folder; "file" is a plain file there
    QTest::addColumn<QString>("says");   // DIR: the test's folder
    QTest::newRow("missing folder") << "none/downloads.jsonl"
                                    << "the folder DIR/none does not exist";
    QTest::newRow("a file for a folder") << "file/downloads.jsonl"
                                         << "DIR/file is not a folder";
}

void TestFlashFiles::recordFolderSaysWhy()
{
    QFETCH(QString, record);
    QFETCH(QString, says);
    QFile file(m_dir->filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QString why;
    QVERIFY(!Download::appendRecord(m_dir->filePath(record), aRecord(), &why));
    QCOMPARE(why, says.replace(QLatin1String("DIR"), m_dir->path()));
}

void TestFlashFiles::reportTarget_data()
{
    QTest::addColumn<QString>("target"); // below the test's folder, or absolute
    QTest::addColumn<QString>("says");   // empty: usable
    QTest::newRow("new file") << "report.json"
                              << "";
    QTest::newRow("a device") << "/dev/null"
                              << "";
    QTest::newRow("missing folder") << "none/report.json"
                                    << "the folder DIR/none does not exist";
    QTest::newRow("a folder") << "folder"
                              << "DIR/folder is a folder";
    QTest::newRow("a file for a folder") << "file/report.json"
                                         << "DIR/file is not a folder";
}

void TestFlashFiles::reportTarget()
{
    QFETCH(QString, target);
    QFETCH(QString, says);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("folder")));
    QFile file(m_dir->filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString path = target.startsWith(QLatin1Char('/')) ? target : m_dir->filePath(target);
    QCOMPARE(Flash::reportTargetProblem(path), says.replace(QLatin1String("DIR"), m_dir->path()));
}

// Many packs in a moment: one rewrite at once, the rest gathered into one a moment later.
void TestFlashFiles::reportRewritesGathered()
{
    int writes = 0;
    Flash::Throttle throttle(200, [&writes] { ++writes; });
    for (int pack = 0; pack < 50; ++pack) {
        throttle.request();
    }
    QCOMPARE(writes, 1);
    QTRY_COMPARE(writes, 2);
    throttle.stop();
    throttle.request();
    QCOMPARE(writes, 3); // after a quiet interval a request runs at once again
}

// A pack arrives while its firmware is half copied: the station waits until the file has stopped
// changing and flashes the whole of it; the record's sha256 is of the bytes sent.
void TestFlashFiles::halfCopiedFirmwareWaits()
{
    constexpr qint64 kBytes = 4 + 100 * 2048; // 100 packets
    const QByteArray bytes = PackSim::firmwareBytes(kBytes, 7);
    const QString dir = m_dir->filePath(QStringLiteral("fw"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/BMS_V2.1.07_2026")));
    QFile copy(dir + QStringLiteral("/BMS_V2.1.07_2026/bms.bin"));
    QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray half = bytes.left(4 + 48 * 2048);
    QCOMPARE(copy.write(half), qint64(half.size()));
    PackSim::PackSimulator pack;
    pack.setReportViolationsOnStderr(false);
    QVERIFY(pack.openPty());
    Download::FirmwareStore store(1000);
    Download::StationSettings settings;
    settings.firmwareDir = dir;
    Download::StationPort port(pack.slavePath(), settings, &store);
    QStringList notices;
    connect(&port, &Download::StationPort::notice, this,
            [&notices](const QString &text) { notices << text; });
    QList<Download::PortResult> results;
    connect(&port, &Download::StationPort::packDone, this,
            [&results](const Download::PortResult &result) { results << result; });
    port.start();
    QTRY_COMPARE_WITH_TIMEOUT(notices.filter(QStringLiteral("is still changing")).size(), 1, 10000);
    QCOMPARE(copy.write(bytes.mid(half.size())), qint64(bytes.size() - half.size())); // the copy ends
    copy.close();
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 30000);
    const Download::Record &record = results.first().record;
    QCOMPARE(record.outcome, QStringLiteral("confirmed"));
    QCOMPARE(record.packets, 100u);
    QCOMPARE(record.size, kBytes);
    QCOMPARE(record.sha256.toLatin1(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QVERIFY(pack.image() == PackSim::expectedImage(bytes));
    port.interrupt();
}

QTEST_GUILESS_MAIN(TestFlashFiles)
#include "tst_flashfiles.moc"
