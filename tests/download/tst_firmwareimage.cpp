// The image arithmetic and the reading of an image file, without the window.
#include "constants.h"
#include "firmwareimage.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using FirmwareImage::SizeVerdict;
Q_DECLARE_METATYPE(FirmwareImage::SizeVerdict)

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        c = static_cast<char>(gen.bounded(256));
    }
    return bytes;
}

} // namespace

class TestFirmwareImage : public QObject
{
    Q_OBJECT

private slots:
    void pathHasVersion_data();
    void pathHasVersion();
    void directoryOf_data();
    void directoryOf();
    void checkSize_data();
    void checkSize();
    void packetCount_data();
    void packetCount();
    void padToWholePackets_data();
    void padToWholePackets();
    void readAsHexConvertsWholeFile_data();
    void readAsHexConvertsWholeFile();
    void readAsHexLeavesRoomForPadding();
    void readAsHexFailsOnShortenedFile();
    void readAsHexFailsOnUnreadableDevice();

private:
    QTemporaryDir m_dir;
};

void TestFirmwareImage::pathHasVersion_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("matches");

    QTest::newRow("in file name") << "/fw/BMS_V1.2.3-ABCD_x.bin"
                                  << "V1.2.3-ABCD" << true;
    QTest::newRow("in directory only") << "/fw/V1.2.3-ABCD/image.bin"
                                       << "V1.2.3-ABCD" << true;
    QTest::newRow("first 12 suffice") << "/fw/PACK-V2.00.1a.bin"
                                      << "PACK-V2.00.1abcdef" << true;
    QTest::newRow("13th character not needed") << "/fw/PACK-V2.00.1X.bin"
                                               << "PACK-V2.00.1abc" << true;
    QTest::newRow("only 11 present") << "/fw/PACK-V2.00.bin"
                                     << "PACK-V2.00.1abc" << false;
    QTest::newRow("other letter case") << "/fw/pack-v2.00.1.bin"
                                       << "PACK-V2.00.1" << false;
    QTest::newRow("short version whole") << "/fw/V7_image.bin"
                                         << "V7" << true;
    QTest::newRow("short version absent") << "/fw/V8_image.bin"
                                          << "V7" << false;
    QTest::newRow("empty version") << "/fw/anything.bin"
                                   << "" << true;
    QTest::newRow("in extension") << "/fw/image.V7"
                                  << "V7" << true;
}

void TestFirmwareImage::pathHasVersion()
{
    QFETCH(QString, path);
    QFETCH(QString, version);
    QFETCH(bool, matches);
    QCOMPARE(FirmwareImage::pathHasVersion(path, version), matches);
}

void TestFirmwareImage::directoryOf_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("directory");
    QTest::newRow("absolute") << "/home/user/fw/V1/image.bin"
                              << "/home/user/fw/V1/";
    QTest::newRow("root") << "/image.bin"
                          << "/";
    QTest::newRow("no slash") << "image.bin"
                              << "";
}

void TestFirmwareImage::directoryOf()
{
    QFETCH(QString, path);
    QFETCH(QString, directory);
    QCOMPARE(FirmwareImage::directoryOf(path), directory);
}

void TestFirmwareImage::checkSize_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<SizeVerdict>("verdict");
    QTest::newRow("empty") << qint64(0) << SizeVerdict::TooShort;
    QTest::newRow("32767") << qint64(32767) << SizeVerdict::TooShort;
    QTest::newRow("32768") << qint64(32768) << SizeVerdict::Accepted;
    QTest::newRow("65535 packets") << qint64(4) + 65535 * 2048 << SizeVerdict::Accepted;
    QTest::newRow("one byte more") << qint64(5) + 65535 * 2048 << SizeVerdict::TooLarge;
    QTest::newRow("4 GiB") << (qint64(1) << 32) << SizeVerdict::TooLarge;
}

void TestFirmwareImage::checkSize()
{
    QFETCH(qint64, bytes);
    QFETCH(SizeVerdict, verdict);
    QCOMPARE(FirmwareImage::checkSize(bytes), verdict);
}

void TestFirmwareImage::packetCount_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<quint32>("packets");
    QTest::newRow("32768") << qint64(32768) << 16u;
    QTest::newRow("32772") << qint64(32772) << 16u;
    QTest::newRow("32773") << qint64(32773) << 17u;
    QTest::newRow("65536") << qint64(65536) << 32u;
    QTest::newRow("300 packets") << qint64(4) + 299 * 2048 + 1 << 300u;
    QTest::newRow("largest") << Quorvane::kMaxImageBytes << 65535u;
    QTest::newRow("one more") << Quorvane::kMaxImageBytes + 1 << 65536u;
}

void TestFirmwareImage::packetCount()
{
    QFETCH(qint64, bytes);
    QFETCH(quint32, packets);
    QCOMPARE(FirmwareImage::packetCountForFile(bytes), packets);
}

void TestFirmwareImage::padToWholePackets_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("padded");
    QTest::newRow("nothing") << 0 << 0;
    QTest::newRow("32768-byte file") << 65528 << 65536;
    QTest::newRow("32772-byte file") << 65536 << 65536;
    QTest::newRow("32773-byte file") << 65538 << 69632;
    QTest::newRow("one byte") << 2 << 4096;
}

void TestFirmwareImage::padToWholePackets()
{
    QFETCH(int, length);
    QFETCH(int, padded);
    const QByteArray original = randomBytes(length / 2, 7).toHex();
    QByteArray text = original;
    QCOMPARE(FirmwareImage::padToWholePackets(text), padded - length);
    QCOMPARE(text.size(), padded);
    QVERIFY(text.startsWith(original));
    QCOMPARE(text.mid(length), QByteArray(padded - length, '0'));
}

void TestFirmwareImage::readAsHexConvertsWholeFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("smallest") << 32768;
    QTest::newRow("17 packets") << 32773;
    // More than one read piece of 1 MiB, and not a multiple of it.
    QTest::newRow("three pieces") << (3 << 20) - 1234;
}

void TestFirmwareImage::readAsHexConvertsWholeFile()
{
    QFETCH(int, size);
    const QByteArray content = randomBytes(size, static_cast<quint32>(size));
    QFile file(m_dir.filePath(QStringLiteral("whole.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(size));
    file.close();

    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray head8;
    QByteArray body;
    QVERIFY(FirmwareImage::readAsHex(file, size, &head8, &body));
    QCOMPARE(head8, content.left(4).toHex());
    QCOMPARE(body, content.mid(4).toHex());
    // Lower-case digits only.
    QCOMPARE(body, body.toLower());
}

void TestFirmwareImage::readAsHexLeavesRoomForPadding()
{
    const int size = 32773; // 2047 bytes of padding to come
    const QByteArray content = randomBytes(size, 3);
    QFile file(m_dir.filePath(QStringLiteral("room.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray head8;
    QByteArray body;
    QVERIFY(FirmwareImage::readAsHex(file, size, &head8, &body));
    QVERIFY(body.capacity() >= 69632);
    const char *before = body.constData();
    QCOMPARE(FirmwareImage::padToWholePackets(body), 2 * 2047);
    QCOMPARE(body.constData(), before); // padded where it lies, not copied
}

void TestFirmwareImage::readAsHexFailsOnShortenedFile()
{
    const int size = 40000;
    QFile file(m_dir.filePath(QStringLiteral("shrinks.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(randomBytes(size, 5));
    file.close();

    QVERIFY(file.open(QIODevice::ReadOnly));
    // Another writer cuts the file between the size check and the read.
    QFile other(file.fileName());
    QVERIFY(other.resize(size - 100));

    QByteArray head8("stale");
    QByteArray body("stale");
    QVERIFY(!FirmwareImage::readAsHex(file, size, &head8, &body));
    QVERIFY(head8.isEmpty());
    QVERIFY(body.isEmpty());
}

void TestFirmwareImage::readAsHexFailsOnUnreadableDevice()
{
    QFile file(m_dir.filePath(QStringLiteral("writeonly.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(randomBytes(40000, 9));
    file.flush();
    QByteArray head8;
    QByteArray body;
    QTest::ignoreMessage(QtWarningMsg,
                         "QIODevice::read (QFile, \"" + file.fileName().toUtf8() + "\"): WriteOnly device");
    QVERIFY(!FirmwareImage::readAsHex(file, 40000, &head8, &body));
    QVERIFY(body.isEmpty());
}

QTEST_APPLESS_MAIN(TestFirmwareImage)
#include "tst_firmwareimage.moc"
