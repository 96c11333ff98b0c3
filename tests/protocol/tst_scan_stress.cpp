// Seeded random streams through the receive scan: replies mixed with noise and damaged replies,
// delivered in pieces of random size; and random buffers built from frame fragments, each step
// compared with the plain model of the scan.
#include "codec.h"
#include "constants.h"
#include "scan_checks.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray randomBytes(QRandomGenerator &rng, int count, bool allowStartMarker)
{
    QByteArray out;
    while (out.size() < count) {
        const char c = static_cast<char>(rng.bounded(256));
        if (allowStartMarker || c != Codec::kSoiAscii)
            out.append(c);
    }
    return out;
}

QByteArray randomReply(QRandomGenerator &rng, QByteArray *infoHex)
{
    const QByteArray payload = randomBytes(rng, rng.bounded(40), true);
    const QByteArray info = rng.bounded(2) ? payload.toHex() : payload.toHex().toUpper();
    const auto field = [&rng]() { return static_cast<quint8>(rng.bounded(256)); };
    const QByteArray frame = Codec::buildAsciiFrame(info, field(), field(), field(), field());
    *infoHex = info.toUpper().toHex().toUpper();
    return frame;
}

// A reply the scan must refuse: wrong LENGTH check nibble, a wrong CHKSUM digit, or CHKSUM letters
// in lower case.
QByteArray damagedReply(QRandomGenerator &rng)
{
    QByteArray unused;
    QByteArray frame = randomReply(rng, &unused);
    const int checksumAt = Quorvane::checksumOffset(frame.size() - Quorvane::kFrameOverheadBytes);
    const QByteArray checksum = frame.mid(checksumAt, Quorvane::kChecksumBytes);
    int kind = rng.bounded(3);
    if (kind == 2 && checksum == checksum.toLower())
        kind = 1; // no letters to lower
    if (kind == 0) {
        // LENGTH's first digit is its check nibble.
        const int nibble = Codec::hexValue(frame[Quorvane::kLengthOffset]);
        frame[Quorvane::kLengthOffset] = "0123456789ABCDEF"[(nibble + 1 + rng.bounded(15)) % 16];
    } else if (kind == 1) {
        const int at = checksumAt + rng.bounded(Quorvane::kChecksumBytes);
        frame[at] = frame[at] == '0' ? '1' : '0';
    } else {
        frame.replace(checksumAt, 4, checksum.toLower());
    }
    return frame;
}

} // namespace

class TestScanStress : public QObject
{
    Q_OBJECT

private slots:
    void streamsInPieces_data();
    void streamsInPieces();
    void fragmentSoup();
};

void TestScanStress::streamsInPieces_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 7u, 2024u, 0xC0FFEEu, 0xBC7E0Du})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void TestScanStress::streamsInPieces()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);

    // Noise never holds the byte 0x7E and replies hold it only as their start, so every good
    // reply must come out, in order, and nothing else.
    QByteArray wire;
    QByteArrayList expected;
    for (int item = 0; item < 2000; ++item) {
        const int kind = rng.bounded(4);
        if (kind == 0) {
            wire += randomBytes(rng, 1 + rng.bounded(30), false);
        } else if (kind == 1) {
            wire += damagedReply(rng);
        } else {
            QByteArray info;
            wire += randomReply(rng, &info);
            expected.append(info);
        }
    }

    QByteArray buffer;
    QByteArrayList infos;
    for (int at = 0; at < wire.size();) {
        const int piece = 1 + rng.bounded(64);
        buffer.append(wire.mid(at, piece).toHex());
        at += piece;
        const QString problem = ScanChecks::checkedScan(buffer, &infos);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    QCOMPARE(infos.size(), expected.size());
    QCOMPARE(infos, expected);
}

void TestScanStress::fragmentSoup()
{
    // Buffers glued from pieces of good and damaged replies, stray markers and noise, at any
    // character position: each scan step must agree with the model and keep its promises.
    QRandomGenerator rng(0x5EED);
    const QByteArrayList markers{"7E", "0D", "7", "E", "D", "0"};
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray buffer;
        const int parts = 1 + rng.bounded(8);
        for (int p = 0; p < parts; ++p) {
            QByteArray unused;
            QByteArray text;
            switch (rng.bounded(5)) {
            case 0:
                text = randomReply(rng, &unused).toHex();
                break;
            case 1:
                text = damagedReply(rng).toHex();
                break;
            case 2:
                text = markers.at(rng.bounded(markers.size()));
                break;
            case 3:
                text = randomBytes(rng, rng.bounded(12), true).toHex();
                break;
            default:
                text = randomReply(rng, &unused).toHex();
                text = text.mid(rng.bounded(text.size()));
                text.truncate(rng.bounded(text.size() + 1));
                break;
            }
            buffer += text;
        }
        QByteArrayList infos;
        const QString problem = ScanChecks::checkedScan(buffer, &infos);
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(problem)));
        accepted += infos.size();
    }
    // The soup is not all noise: a fair share of frames come out of it.
    QVERIFY(accepted > 7000);
}

QTEST_GUILESS_MAIN(TestScanStress)
#include "tst_scan_stress.moc"
