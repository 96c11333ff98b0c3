// Loading a firmware image in the real window: the version gate, the file dialog (answered by the
// test), the size checks, head and body, padding, the log line and every refusal.
#include "constants.h"
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "unreadablefile.h"
#include "windowlookup.h"

#include <QComboBox>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kVersion = QStringLiteral("QV-2.01.0007-rc4"); // the first 12: "QV-2.01.0007"
const QString kVersionDir = QStringLiteral("QV-2.01.0007");

QByteArray imageBytes(qint64 size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    for (char &c : bytes) {
        c = static_cast<char>(gen.bounded(256));
    }
    return bytes;
}

QString configPath()
{
    return WindowLookup::configPath();
}

} // namespace

class TestImageLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noVersionRefusesBeforeTheDialog();
    void noVersionKeepsThePreviousImage();
    void versionFromTheSettingsFile();
    void dialogTitleFilterAndStartDirectory();
    void acceptedSizes_data();
    void acceptedSizes();
    void versionInFileNameOnly();
    void refusals_data();
    void refusals();
    void largestAcceptedImage();
    void cancelAfterAGoodLoad();
    void chineseBoxesDialogAndLog();

private:
    QString writeImage(const QString &relativePath, qint64 size, quint32 seed, QByteArray *content = nullptr);
    void clickLoad();
    QProgressBar *progress() { return m_window->findChild<QProgressBar *>(QStringLiteral("progressBar")); }
    QLineEdit *filePath() { return m_window->findChild<QLineEdit *>(QStringLiteral("leFilePath")); }
    QListWidget *log() { return m_window->findChild<QListWidget *>(QStringLiteral("listWidget")); }

    QTemporaryDir m_home;
    QTemporaryDir m_files;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalAnswerer> m_answerer;
};

void TestImageLoad::initTestCase()
{
    QVERIFY(m_home.isValid());
    QVERIFY(m_files.isValid());
    // The dialog's first start directory is the desktop: give the test one of its own.
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Desktop")));
    QVERIFY(QDir(m_files.path()).mkpath(kVersionDir));
    QVERIFY(QDir(m_files.path()).mkpath(QStringLiteral("other")));
}

void TestImageLoad::init()
{
    QFile::remove(configPath());
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    m_answerer = std::make_unique<ModalAnswerer>();
}

void TestImageLoad::cleanup()
{
    m_answerer.reset();
    m_window.reset();
    QFile::remove(configPath());
}

QString TestImageLoad::writeImage(const QString &relativePath, qint64 size, quint32 seed, QByteArray *content)
{
    const QString path = m_files.filePath(relativePath);
    const QByteArray bytes = imageBytes(size, seed);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != size) {
        qFatal("cannot write %s", qPrintable(path));
    }
    if (content != nullptr) {
        *content = bytes;
    }
    return path;
}

void TestImageLoad::clickLoad()
{
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("btnFileLoad")), Qt::LeftButton);
}

void TestImageLoad::noVersionRefusesBeforeTheDialog()
{
    clickLoad();
    QCOMPARE(m_answerer->fileDialogs().size(), 0);
    QCOMPARE(m_answerer->boxes().size(), 1);
    QCOMPARE(m_answerer->boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(m_answerer->boxes().first().text,
             QStringLiteral("Please click to obtain the version number first"));
    QVERIFY(MainWindowTestAccess::version(*m_window).isEmpty());
}

void TestImageLoad::noVersionKeepsThePreviousImage()
{
    MainWindowTestAccess::version(*m_window) = kVersion;
    m_answerer->chooseFile(writeImage(kVersionDir + QStringLiteral("/keep.bin"), 32768, 1));
    clickLoad();
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 16u);

    MainWindowTestAccess::version(*m_window).clear();
    m_answerer->clear();
    clickLoad();
    QCOMPARE(m_answerer->fileDialogs().size(), 0);
    QCOMPARE(m_answerer->boxes().size(), 1);
    QCOMPARE(m_answerer->boxes().first().text,
             QStringLiteral("Please click to obtain the version number first"));
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 16u);
    QCOMPARE(MainWindowTestAccess::image(*m_window).size(), 16 * 4096);
}

void TestImageLoad::versionFromTheSettingsFile()
{
    {
        QSettings settings(configPath(), QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("connectInfo"));
        settings.setValue(QStringLiteral("version"), kVersionDir);
        settings.endGroup();
    }
    QByteArray content;
    m_answerer->chooseFile(writeImage(kVersionDir + QStringLiteral("/saved.bin"), 40000, 2, &content));
    clickLoad();
    QCOMPARE(m_answerer->boxes().size(), 0);
    QCOMPARE(MainWindowTestAccess::version(*m_window), kVersionDir);
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 20u);
    QVERIFY(MainWindowTestAccess::image(*m_window).startsWith(content.mid(4).toHex()));
}

void TestImageLoad::dialogTitleFilterAndStartDirectory()
{
    MainWindowTestAccess::version(*m_window) = kVersion;
    const QString path = writeImage(kVersionDir + QStringLiteral("/first.sorrel"), 32768, 3);
    m_answerer->chooseFile(path);
    clickLoad();
    m_answerer->cancelFile();
    clickLoad();

    const QList<ModalAnswerer::Seen> dialogs = m_answerer->fileDialogs();
    QCOMPARE(dialogs.size(), 2);
    QCOMPARE(dialogs[0].title, QStringLiteral("Firmware selection"));
    QVERIFY(!dialogs[0].filters.isEmpty());
    QCOMPARE(dialogs[0].filters.first(), QStringLiteral("File (*.bin *.sorrel)"));
    QCOMPARE(dialogs[0].directory, QDir(m_home.filePath(QStringLiteral("Desktop"))).absolutePath());
    // The second time the dialog opens where the last accepted file was.
    QCOMPARE(MainWindowTestAccess::lastDir(*m_window), m_files.filePath(kVersionDir) + QLatin1Char('/'));
    QCOMPARE(dialogs[1].directory, m_files.filePath(kVersionDir));
    QCOMPARE(m_answerer->boxes().size(), 0);
}

void TestImageLoad::acceptedSizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<quint32>("packets");
    QTest::addColumn<int>("zeroBytes");
    QTest::newRow("32768") << qint64(32768) << 16u << 4;
    QTest::newRow("32772") << qint64(32772) << 16u << 0;
    QTest::newRow("32773") << qint64(32773) << 17u << 2047;
    QTest::newRow("65536") << qint64(65536) << 32u << 4;
}

void TestImageLoad::acceptedSizes()
{
    QFETCH(qint64, size);
    QFETCH(quint32, packets);
    QFETCH(int, zeroBytes);

    MainWindowTestAccess::version(*m_window) = kVersion;
    QByteArray content;
    const QString path = writeImage(kVersionDir + QStringLiteral("/image.bin"), size, 4, &content);
    m_answerer->chooseFile(path);
    clickLoad();

    QCOMPARE(m_answerer->boxes().size(), 0);
    QCOMPARE(filePath()->text(), path);
    QCOMPARE(MainWindowTestAccess::lastDir(*m_window), m_files.filePath(kVersionDir) + QLatin1Char('/'));
    QCOMPARE(MainWindowTestAccess::imageHead(*m_window), content.left(4).toHex());
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), packets);
    const QByteArray expected = content.mid(4).toHex() + QByteArray(2 * zeroBytes, '0');
    QCOMPARE(MainWindowTestAccess::image(*m_window).size(), int(packets) * 4096);
    QVERIFY(MainWindowTestAccess::image(*m_window) == expected);
    QCOMPARE(progress()->minimum(), 0);
    QCOMPARE(progress()->maximum(), int(packets));

    QCOMPARE(log()->count(), 1);
    const QString line = log()->item(0)->text();
    const QRegularExpression shape(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\tStarting! Size : %1$").arg(size));
    QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
}

void TestImageLoad::versionInFileNameOnly()
{
    MainWindowTestAccess::version(*m_window) = kVersion;
    m_answerer->chooseFile(
        writeImage(QStringLiteral("other/pack_") + kVersionDir + QStringLiteral(".bin"), 32768, 5));
    clickLoad();
    QCOMPARE(m_answerer->boxes().size(), 0);
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 16u);
    QCOMPARE(MainWindowTestAccess::lastDir(*m_window), m_files.filePath(QStringLiteral("other/")));
}

void TestImageLoad::refusals_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("dirRemembered");

    const QString mismatch =
        QStringLiteral("The version number of the upgraded file does not match the actual version number");
    QTest::newRow("no version in path") << "other/image.bin" << qint64(32768) << false << mismatch << false;
    QTest::newRow("version in other case")
        << "other/qv-2.01.0007.bin" << qint64(32768) << false << mismatch << false;
    QTest::newRow("11 characters of it")
        << "other/QV-2.01.000.bin" << qint64(32768) << false << mismatch << false;
    QTest::newRow("32767 bytes") << kVersionDir + "/short.bin" << qint64(32767) << false
                                 << "File is too short, upgrade failed" << true;
    QTest::newRow("65536 packets") << kVersionDir + "/huge.bin" << Quorvane::kMaxImageBytes + 1 << false
                                   << "File is too large, upgrade failed" << true;
    QTest::newRow("4 GiB") << kVersionDir + "/huger.bin" << (qint64(1) << 32) << false
                           << "File is too large, upgrade failed" << true;
    QTest::newRow("unreadable") << kVersionDir + "/locked.bin" << qint64(40000) << true
                                << "File open failed, upgrade failed" << true;
}

void TestImageLoad::refusals()
{
    QFETCH(QString, file);
    QFETCH(qint64, size);
    QFETCH(bool, unreadable);
    QFETCH(QString, message);
    QFETCH(bool, dirRemembered);

    // A good image first: a refusal must leave none, but keep the bar's range and the head.
    MainWindowTestAccess::version(*m_window) = kVersion;
    QByteArray good;
    m_answerer->chooseFile(
        writeImage(QStringLiteral("other/") + kVersion + QStringLiteral(".bin"), 65536, 6, &good));
    clickLoad();
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 32u);
    const QString goodDir = MainWindowTestAccess::lastDir(*m_window);

    const QString path = m_files.filePath(file);
    if (size > (qint64(1) << 20)) {
        QFile sparse(path); // costs no disk: a hole the size of the file
        QVERIFY(sparse.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(sparse.resize(size));
    } else {
        writeImage(file, size, 7);
    }
    std::unique_ptr<UnreadableFile> lock;
    if (unreadable) {
        lock = std::make_unique<UnreadableFile>(path);
        QVERIFY2(lock->isUnreadable(), qPrintable(lock->why()));
    }

    m_answerer->clear();
    m_answerer->chooseFile(path);
    clickLoad();
    lock.reset();
    if (size > (qint64(1) << 20)) {
        QFile::remove(path);
    }

    QCOMPARE(m_answerer->boxes().size(), 1);
    QCOMPARE(m_answerer->boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(m_answerer->boxes().first().text, message);
    // A mismatch names the characters the path needs.
    const bool mismatch = message.startsWith(QLatin1String("The version number"));
    QCOMPARE(m_answerer->boxes().first().informative,
             mismatch ? QStringLiteral("The file's path must contain %1.").arg(kVersion.left(12))
                      : QString());
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 0u);
    QVERIFY(MainWindowTestAccess::image(*m_window).isEmpty());
    QCOMPARE(MainWindowTestAccess::imageHead(*m_window), good.left(4).toHex());
    QCOMPARE(filePath()->text(), QString()); // the box shows the image loaded, or nothing
    QCOMPARE(MainWindowTestAccess::lastDir(*m_window),
             dirRemembered ? QFileInfo(path).absolutePath() + QLatin1Char('/') : goodDir);
    QCOMPARE(progress()->maximum(), 32);
    QCOMPARE(log()->count(), 1); // only the good load's line
}

void TestImageLoad::largestAcceptedImage()
{
    MainWindowTestAccess::version(*m_window) = kVersion;
    const QString path = m_files.filePath(kVersionDir + QStringLiteral("/largest.bin"));
    {
        QFile sparse(path);
        QVERIFY(sparse.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(sparse.write("\x01\x02\x03\x04\xAB", 5) == 5);
        QVERIFY(sparse.resize(Quorvane::kMaxImageBytes));
    }
    m_answerer->chooseFile(path);
    clickLoad();
    QFile::remove(path);

    QCOMPARE(m_answerer->boxes().size(), 0);
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 65535u);
    QCOMPARE(MainWindowTestAccess::imageHead(*m_window), QByteArray("01020304"));
    const QByteArray &image = MainWindowTestAccess::image(*m_window);
    QCOMPARE(image.size(), 65535 * 4096);
    QCOMPARE(image.left(4), QByteArray("ab00"));
    QCOMPARE(progress()->maximum(), 65535);
    QVERIFY(log()->item(0)->text().endsWith(
        QStringLiteral("\tStarting! Size : %1").arg(Quorvane::kMaxImageBytes)));
}

void TestImageLoad::cancelAfterAGoodLoad()
{
    MainWindowTestAccess::version(*m_window) = kVersion;
    const QString path = writeImage(kVersionDir + QStringLiteral("/good.bin"), 32768, 8);
    m_answerer->chooseFile(path);
    clickLoad();
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 16u);

    m_answerer->cancelFile();
    clickLoad();
    QCOMPARE(m_answerer->fileDialogs().size(), 2);
    QCOMPARE(m_answerer->boxes().size(), 0);
    QCOMPARE(MainWindowTestAccess::packetCount(*m_window), 0u);
    QVERIFY(MainWindowTestAccess::image(*m_window).isEmpty());
    QCOMPARE(filePath()->text(), QString()); // the image is gone, and its path with it
}

// In Chinese every box, the dialog and the log line come from the translation, titles included.
void TestImageLoad::chineseBoxesDialogAndLog()
{
    m_window->findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(1);

    clickLoad();
    MainWindowTestAccess::version(*m_window) = kVersion;
    m_answerer->chooseFile(writeImage(QStringLiteral("other/zh.bin"), 32768, 9));
    clickLoad();
    m_answerer->chooseFile(writeImage(kVersionDir + QStringLiteral("/zh-short.bin"), 32767, 10));
    clickLoad();
    m_answerer->chooseFile(writeImage(kVersionDir + QStringLiteral("/zh.bin"), 32768, 11));
    clickLoad();
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("btnStart")), Qt::LeftButton);

    const QList<ModalAnswerer::Seen> boxes = m_answerer->boxes();
    QCOMPARE(boxes.size(), 4);
    const QStringList texts{QStringLiteral("请先点击获取版本号按钮"), QStringLiteral("版本不一致不能更新"),
                            QStringLiteral("文件太短更新失败"), QStringLiteral("请先打开串口通信")};
    for (int i = 0; i < boxes.size(); ++i) {
        // The last box is an information box: "提示", not "警告".
        QCOMPARE(boxes[i].title, i == 3 ? QStringLiteral("提示") : QStringLiteral("警告"));
        QCOMPARE(boxes[i].text, texts[i]);
    }
    QCOMPARE(boxes[1].informative, QStringLiteral("文件路径中必须包含 %1。").arg(kVersion.left(12)));
    const QList<ModalAnswerer::Seen> dialogs = m_answerer->fileDialogs();
    QCOMPARE(dialogs.size(), 3);
    QCOMPARE(dialogs[0].title, QStringLiteral("选择更新文件"));
    QVERIFY(!dialogs[0].filters.isEmpty());
    QCOMPARE(dialogs[0].filters.first(), QStringLiteral("文件 (*.bin *.sorrel)"));
    QCOMPARE(log()->count(), 1);
    QVERIFY2(log()->item(0)->text().endsWith(QStringLiteral("开始更新! 大小 : 32768")),
             qPrintable(log()->item(0)->text()));
}

QTEST_MAIN(TestImageLoad)
#include "tst_imageload.moc"
