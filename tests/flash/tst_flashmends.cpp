// quorvane-flash's outcome lines, versions that are none, opt-in retries against both kinds of
// pack, and a second program refused the device: real runs against simulators over ptys.
#include "flashrig.h"

#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

using PackSim::Kind;
using PackSim::PackSimulator;

class TestFlashMends : public FlashRig
{
    Q_OBJECT

private slots:
    void outcomeLines_data();
    void outcomeLines();
    void retries_data();
    void retries();
    void secondProgramIsRefused();
};

void TestFlashMends::outcomeLines_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("version"); // what the pack reports
    QTest::addColumn<QString>("folder");  // where the image lies; "missing": nowhere
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // in the output

    const QString good = QString::fromLatin1(PackSimulator::kDefaultVersionText);
    QTest::newRow("version \"/\" is none")
        << ""
        << "/" << good << QStringList() << 3 << "the pack reported the version \"/\", which is no version";
    QTest::newRow("blank version is none") << ""
                                           << "   " << good << QStringList() << 3
                                           << "the pack reported the version \"   \", which is no version";
    QTest::newRow("control characters escaped")
        << ""
        << "BMS\x1b[2J" << good << QStringList() << 3 << "the version \"BMS\\x1b[2J\", which is no version";
    QTest::newRow("version \"/\" with --unverified")
        << ""
        << "/"
        << "elsewhere" << QStringList{"--unverified"} << 0 << "- (unverified)";
    QTest::newRow("missing file") << "" << good << "missing" << QStringList() << 4
                                  << "fw_32768.bin: not found";
    QTest::newRow("stalled says what to do")
        << "data:5" << good << good << QStringList{"--stall-timeout", "1"} << 6
        << "stalled: no answer for package 4 in 1 s; check the cable, then run again";
    QTest::newRow("a lost port says so")
        << "pull:3" << good << good << QStringList() << 7 << "the port went away (unplugged?)";
}

void TestFlashMends::outcomeLines()
{
    QFETCH(QString, fault);
    QFETCH(QString, version);
    QFETCH(QString, folder);
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, says);
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack && pack->setVersionText(version));
    QString why;
    QVERIFY2(applyFault(pack.get(), fault, &why), qPrintable(why));
    const QString image = writeImage(
        folder == QLatin1String("missing") ? PackSimulator::kDefaultVersionText : folder, 32768, 3);
    if (folder == QLatin1String("missing")) {
        QVERIFY(QFile::remove(image));
    }
    const RunResult r = run(extra + QStringList{QStringLiteral("--port"), pack->slavePath(), image});
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    QVERIFY2((r.out + r.err).contains(says), qPrintable(r.out + r.err));
    QVERIFY(!(r.out + r.err).contains(QLatin1Char('\x1b'))); // nothing the pack says reaches the terminal raw
    QCOMPARE(r.report.size(), 1);
    for (const QString &line : r.out.split(QLatin1Char('\n')).filter(QStringLiteral("stalled"))) {
        QVERIFY2(!line.contains(QLatin1String("left")), qPrintable(line)); // no time left once stalled
    }
}

void TestFlashMends::retries_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("exact"); // the pack holds the image byte for byte
    // The answer to packet 4 is lost: the packet arrived, its acknowledgement did not.
    QTest::newRow("no retries: stalled") << "number" << 0 << 6 << false;
    QTest::newRow("a pack that stores by number: exact") << "number" << 1 << 0 << true;
    // Why --retries is 0 by default: the flasher is confirmed, the pack holds a repeat twice.
    QTest::newRow("a pack that appends: corrupted") << "append" << 1 << 0 << false;
}

void TestFlashMends::retries()
{
    QFETCH(QString, store);
    QFETCH(int, retries);
    QFETCH(int, code);
    QFETCH(bool, exact);
    std::unique_ptr<PackSimulator> pack = newPack();
    QVERIFY(pack);
    PackSim::StoreMode mode = PackSim::StoreMode::ByNumber;
    QVERIFY(PackSimulator::storeModeFromName(store, &mode));
    pack->setStoreMode(mode);
    QString why;
    QVERIFY(applyFault(pack.get(), QStringLiteral("data:5"), &why));
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 8);
    const RunResult r =
        run({QStringLiteral("--stall-timeout"), QStringLiteral("1"), QStringLiteral("--retries"),
             QString::number(retries), QStringLiteral("--port"), pack->slavePath(), image});
    QVERIFY2(r.exitCode == code,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(r.exitCode).arg(r.out, r.err)));
    QCOMPARE(pack->image() == PackSim::expectedImage(PackSim::firmwareBytes(32768, 8)), exact);
    QCOMPARE(r.report.first().toObject().value(QStringLiteral("packet_repeats")).toInt(), retries);
    QCOMPARE(pack->repeatedPackets(), retries);
}

// One pack under two names, two programs: the second is refused, the first flashes it whole.
void TestFlashMends::secondProgramIsRefused()
{
    PackSimulator pack;
    pack.setReportViolationsOnStderr(false);
    const QString link = m_dir->filePath(QStringLiteral("by-id-pack"));
    QVERIFY2(pack.openPty(link), qPrintable(pack.errorString()));
    pack.setPaceBaud(230400);
    const QString image = writeImage(QString::fromLatin1(PackSimulator::kDefaultVersionText), 32768, 9);
    QProcess first;
    QSignalSpy finished(&first, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    first.start(QString::fromUtf8(quorvaneFlashExe), {QStringLiteral("--port"), pack.slavePath(), image});
    QTRY_VERIFY_WITH_TIMEOUT(pack.commandCount(Kind::Data) >= 1, 10000);
    const RunResult second = run({QStringLiteral("--port"), link, image});
    QCOMPARE(second.exitCode, 2);
    QVERIFY2((second.out + second.err).contains(QStringLiteral("cannot open %1: in use by ").arg(link)),
             qPrintable(second.out + second.err));
    QVERIFY(finished.wait(kRunTimeoutMs));
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(pack.image() == PackSim::expectedImage(PackSim::firmwareBytes(32768, 9)));
    QCOMPARE(pack.violationCount(), 0);
}

QTEST_GUILESS_MAIN(TestFlashMends)
#include "tst_flashmends.moc"
