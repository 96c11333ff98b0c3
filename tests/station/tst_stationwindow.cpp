// QuorvaneStation's window as the line runs it: the real window offscreen over the engine's station
// ports, simulated packs on pseudo-terminals plugged in, flashed, pulled and plugged again, every
// image compared byte for byte with what the simulator received.
#include "eventwait.h"
#include "modalanswerer.h"
#include "packsimulator.h"
#include "settings.h"
#include "stationwindow.h"
#include "testfirmware.h"
#include "tests/common/stationline.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using PackSim::Kind;
using PackSim::PackSimulator;
using Station::StationWindow;

namespace {

constexpr qint64 kImageBytes = 32768;
constexpr int kFlashTimeoutMs = 20000;
constexpr int kPacedBaud = 230400; // the pack answers as at this speed: about 0.2 s a packet
const char kVersionA[] = "BMS_V2.1.07_2026";
const char kVersionB[] = "BMS_V3.0.00_2027";
using Line = StationLine;

} // namespace

class TestStationWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void packsOnTwoPorts();
    void firmwareNotChosen();
    void packPulled();
    void stop_data();
    void stop();
    void verify();
    void languageAndFit();

private:
    // A pack reporting version behind m_dir/name, unplugged; after `packs` images it stays.
    std::unique_ptr<Line> newLine(const QString &name, const char *version, int seed, int packs);
    void startOn(const std::vector<std::unique_ptr<Line>> &lines, const QString &expectVersion = QString());
    QWidget *tile(const QString &port) const;
    QString text(const char *label) const;
    QTableWidget *history() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StationWindow> m_window;
};

void TestStationWindow::init()
{
    QFile::remove(Settings::configPath());
    QFile::remove(Settings::recordPath());
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    for (const auto &[version, seed] : {std::pair<const char *, int>{kVersionA, 1}, {kVersionB, 2}}) {
        const QString path = m_dir->filePath(QStringLiteral("fw/%1/bms.bin").arg(QLatin1String(version)));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(PackSim::writeFirmwareFile(path, kImageBytes, seed));
    }
}

void TestStationWindow::cleanup()
{
    if (m_window) {
        ModalAnswerer answerer;
        answerer.answerQuestion(true);
        m_window->close();
    }
    m_window.reset();
}

std::unique_ptr<Line> TestStationWindow::newLine(const QString &name, const char *version, int seed,
                                                 int packs)
{
    return Line::make(this, m_dir->filePath(name), version, kImageBytes, seed, packs);
}

// With expectVersion, the version is checked after the update.
void TestStationWindow::startOn(const std::vector<std::unique_ptr<Line>> &lines, const QString &expectVersion)
{
    m_window = std::make_unique<StationWindow>();
    m_window->show();
    Station::StationPreset preset;
    preset.firmwareDir = m_dir->filePath(QStringLiteral("fw"));
    for (const auto &line : lines) {
        preset.ports << line->link;
    }
    preset.verify = !expectVersion.isEmpty();
    preset.expectVersion = expectVersion;
    m_window->applyPreset(preset);
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("btnStart")), Qt::LeftButton);
    QVERIFY(m_window->running());
}

QWidget *TestStationWindow::tile(const QString &port) const
{
    const QList<QWidget *> tiles = m_window->findChildren<QWidget *>(QStringLiteral("tile"));
    for (QWidget *t : tiles) {
        if (t->property("port").toString() == port) {
            return t;
        }
    }
    return nullptr;
}

QString TestStationWindow::text(const char *label) const
{
    return m_window->findChild<QLabel *>(QLatin1String(label))->text();
}

QTableWidget *TestStationWindow::history() const
{
    return m_window->findChild<QTableWidget *>(QStringLiteral("historyTable"));
}

// Two ports, two packs each, plugged in one after the other: every image exact, the tiles, totals
// and history right, and the history there again after a restart (a torn line skipped).
void TestStationWindow::packsOnTwoPorts()
{
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1, 2));
    lines.push_back(newLine(QStringLiteral("ttyPACK2"), kVersionB, 2, 2));
    QVERIFY(lines[0] && lines[1]);
    startOn(lines);
    QStringList seen; // the first tile's states while packets arrive
    for (const auto &line : lines) {
        line->pack->setAfterImage(PackSim::AfterImage::Replug, 200);
        QCOMPARE(tile(line->link)->property("state").toString(), QStringLiteral("waiting"));
        QVERIFY(line->pack->plugIn());
    }
    connect(lines[0]->pack.get(), &PackSimulator::commandReceived, this, [&](Kind kind) {
        if (kind == Kind::Data) {
            seen << tile(lines[0]->link)->property("state").toString();
        }
    });
    QVERIFY(EventWait::until([&] { return lines[0]->exact + lines[1]->exact == 4; }, kFlashTimeoutMs));
    QVERIFY(seen.contains(QStringLiteral("flashing")));
    for (const auto &line : lines) {
        QCOMPARE(line->wrong, 0);
        QCOMPARE(line->pack->violationCount(), 0);
        QWidget *t = tile(line->link);
        QTRY_COMPARE(t->property("state").toString(), QStringLiteral("passed"));
        QCOMPARE(t->property("outcome").toString(), QStringLiteral("confirmed"));
        QCOMPARE(t->property("version").toString(), line->pack->versionText());
        QVERIFY(t->property("file").toString().endsWith(
            QDir::toNativeSeparators(line->pack->versionText() + QStringLiteral("/bms.bin"))));
        QTRY_VERIFY(t->property("packPresent").toBool()); // the last pack stays where it is
    }
    QCOMPARE(text("lblPassed"), QStringLiteral("Passed: 4"));
    QCOMPARE(text("lblFailed"), QStringLiteral("Failed: 0"));
    QCOMPARE(text("lblPassRate"), QStringLiteral("Pass rate: 100 %"));
    QCOMPARE(history()->rowCount(), 4);

    lines[0]->pack->unplug(); // taken away: the result stays on the tile
    QTRY_VERIFY(!tile(lines[0]->link)->property("packPresent").toBool());
    QCOMPARE(tile(lines[0]->link)->property("state").toString(), QStringLiteral("passed"));

    m_window->close();
    m_window.reset();
    QFile record(Settings::recordPath());
    QVERIFY(record.open(QIODevice::Append));
    record.write("{\"ended\": \"2026-01-01T10:00:00.000\", \"outc"); // torn by a crash
    record.close();
    m_window = std::make_unique<StationWindow>();
    QCOMPARE(history()->rowCount(), 4);
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(history()->item(row, 4)->text(), QStringLiteral("confirmed"));
    }
    QVERIFY(history()->item(0, 0)->text() >= history()->item(3, 0)->text()); // newest on top
}

// A version without firmware (amber) and one with two files: named in red before Start, neither
// pack flashed, both in the totals and the history.
void TestStationWindow::firmwareNotChosen()
{
    for (const char *folder : {"a", "b"}) {
        const QString path =
            m_dir->filePath(QStringLiteral("fw/%1/BMS_V1.0.00_2020.bin").arg(QLatin1String(folder)));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(PackSim::writeFirmwareFile(path, kImageBytes, 3));
    }
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), "BMS_V9.9.99_2030", 1, 1));
    lines.push_back(newLine(QStringLiteral("ttyPACK2"), "BMS_V1.0.00_2020", 3, 1));
    QVERIFY(lines[0] && lines[1]);
    startOn(lines);
    QCOMPARE(text("lblFolderSummary"), QStringLiteral("4 firmware files for 3 versions"));
    const QString clash = text("lblFolderClash");
    QVERIFY2(clash.contains(QDir::toNativeSeparators(QStringLiteral("a/BMS_V1.0.00_2020.bin"))) &&
                 clash.contains(QDir::toNativeSeparators(QStringLiteral("b/BMS_V1.0.00_2020.bin"))),
             qPrintable(clash));
    for (const auto &line : lines) {
        QVERIFY(line->pack->plugIn());
    }
    for (const auto &line : lines) {
        QTRY_COMPARE_WITH_TIMEOUT(tile(line->link)->property("state").toString(),
                                  QStringLiteral("not_flashed"), kFlashTimeoutMs);
        QCOMPARE(tile(line->link)->property("outcome").toString(), QStringLiteral("not_flashed"));
        QCOMPARE(line->pack->commandCount(Kind::Init), 0);
    }
    const QStringList shown = [&] {
        QStringList texts;
        for (const auto &line : lines) {
            for (QLabel *label : tile(line->link)->findChildren<QLabel *>()) {
                texts << label->text();
            }
        }
        return texts;
    }();
    QVERIFY2(shown.contains(QStringLiteral("No firmware for BMS_V9.9.99_2030")), qPrintable(shown.join('|')));
    QVERIFY2(shown.contains(QStringLiteral("2 files for BMS_V1.0.00_2020")), qPrintable(shown.join('|')));
    QCOMPARE(text("lblNotFlashed"), QStringLiteral("Not flashed: 2"));
    QCOMPARE(text("lblPassRate"), QStringLiteral("Pass rate: -"));
    QCOMPARE(history()->rowCount(), 2);
    QCOMPARE(history()->item(0, 4)->text(), QStringLiteral("not_flashed"));
}

// The pack pulled after its third packet: red, with its reason, and counted as a failure.
void TestStationWindow::packPulled()
{
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1, 1));
    QVERIFY(lines[0]);
    PackSimulator *pack = lines[0]->pack.get();
    connect(pack, &PackSimulator::commandReceived, pack, [pack](Kind kind) {
        if (kind == Kind::Data && pack->commandCount(Kind::Data) == 3) {
            QTimer::singleShot(0, pack, [pack] { pack->unplug(); });
        }
    });
    startOn(lines);
    QVERIFY(pack->plugIn());
    QWidget *t = tile(lines[0]->link);
    QTRY_COMPARE_WITH_TIMEOUT(t->property("state").toString(), QStringLiteral("failed"), kFlashTimeoutMs);
    QCOMPARE(t->property("outcome").toString(), QStringLiteral("link_lost"));
    QVERIFY(!t->property("packPresent").toBool());
    bool reason = false;
    for (QLabel *label : t->findChildren<QLabel *>()) {
        reason = reason || (label->isVisible() && label->text() == QLatin1String("the port went away"));
    }
    QVERIFY(reason);
    QCOMPARE(text("lblFailed"), QStringLiteral("Failed: 1"));
    QCOMPARE(text("lblPassRate"), QStringLiteral("Pass rate: 0 %"));
    QCOMPARE(history()->item(0, 4)->text(), QStringLiteral("link_lost"));
}

void TestStationWindow::stop_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("once") << 1 << "confirmed";
    QTest::newRow("twice") << 2 << "interrupted";
}

// Closing while a pack is flashed asks first (No: it goes on). The first Stop takes no new packs
// and lets the download finish; a second one asks, then interrupts it.
void TestStationWindow::stop()
{
    QFETCH(int, clicks);
    QFETCH(QString, outcome);
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1, 1));
    QVERIFY(lines[0]);
    PackSimulator *pack = lines[0]->pack.get();
    pack->setPaceBaud(kPacedBaud);
    startOn(lines);
    QVERIFY(pack->plugIn());
    QVERIFY(EventWait::until([&] { return pack->commandCount(Kind::Data) >= 2; }, kFlashTimeoutMs));

    ModalAnswerer answerer;
    QVERIFY(!m_window->close()); // No, the default
    QCOMPARE(answerer.boxes().size(), 1);
    QVERIFY(m_window->downloading());

    auto *stopButton = m_window->findChild<QPushButton *>(QStringLiteral("btnStop"));
    QTest::mouseClick(stopButton, Qt::LeftButton);
    QVERIFY(stopButton->isEnabled());
    if (clicks == 2) {
        answerer.answerQuestion(true);
        QTest::mouseClick(stopButton, Qt::LeftButton);
        QCOMPARE(answerer.boxes().size(), 2);
    }
    QWidget *t = tile(lines[0]->link);
    QTRY_COMPARE_WITH_TIMEOUT(t->property("state").toString(), QStringLiteral("stopped"), kFlashTimeoutMs);
    QCOMPARE(t->property("outcome").toString(), outcome);
    QCOMPARE(lines[0]->exact, clicks == 1 ? 1 : 0);
    QCOMPARE(pack->commandCount(Kind::End) > 0, clicks == 1);
    QTRY_VERIFY(!m_window->running());
    QVERIFY(m_window->findChild<QPushButton *>(QStringLiteral("btnStart"))->isEnabled());
    QCOMPARE(history()->item(0, 4)->text(), outcome);
}

// The version checked after the update: the tile shows it checking, then the version now running.
void TestStationWindow::verify()
{
    const QString after = QStringLiteral("BMS_V2.1.07_2027");
    std::vector<std::unique_ptr<Line>> lines;
    lines.push_back(newLine(QStringLiteral("ttyPACK1"), kVersionA, 1, 1));
    QVERIFY(lines[0]);
    PackSimulator *pack = lines[0]->pack.get();
    pack->setVersionAfterImage(after);
    startOn(lines, after);
    QStringList seen; // the tile's states when the pack is asked its version after its image
    connect(pack, &PackSimulator::commandReceived, this, [&](Kind kind) {
        if (kind == Kind::Version && lines[0]->exact == 1) {
            seen << tile(lines[0]->link)->property("state").toString();
        }
    });
    QVERIFY(pack->plugIn());
    QWidget *t = tile(lines[0]->link);
    QTRY_COMPARE_WITH_TIMEOUT(t->property("outcome").toString(), QStringLiteral("verified"), kFlashTimeoutMs);
    QCOMPARE(t->property("state").toString(), QStringLiteral("passed"));
    QVERIFY2(seen.contains(QStringLiteral("verifying")), qPrintable(seen.join('|')));
    QCOMPARE(lines[0]->exact, 1);
    bool shown = false;
    for (QLabel *label : t->findChildren<QLabel *>()) {
        shown = shown || label->text() == QStringLiteral("Now running: %1").arg(after);
    }
    QVERIFY(shown);
    QCOMPARE(text("lblPassed"), QStringLiteral("Passed: 1"));
}

// Chinese at once, Qt's own dialogs too, remembered for the next start; no caption cut short.
void TestStationWindow::languageAndFit()
{
    m_window = std::make_unique<StationWindow>();
    m_window->show();
    auto *language = m_window->findChild<QComboBox *>(QStringLiteral("cbxLanguage"));
    auto *start = m_window->findChild<QPushButton *>(QStringLiteral("btnStart"));
    for (int index : {0, 1}) {
        language->setCurrentIndex(index);
        QCOMPARE(start->text(), index == 0 ? QStringLiteral("Start") : QStringLiteral("开始"));
        QVERIFY(EventWait::until([&] { return m_window->isVisible(); }, 1000));
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            const bool fixedText = qobject_cast<QAbstractButton *>(w) ||
                                   (qobject_cast<QLabel *>(w) && !qobject_cast<QLabel *>(w)->wordWrap());
            if (fixedText && w->isVisible()) {
                QVERIFY2(w->width() >= w->minimumSizeHint().width(), qPrintable(w->objectName()));
            }
        }
    }
    QCOMPARE(Settings::language(), 1u);
    ModalAnswerer answerer;
    answerer.cancelFile();
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("btnBrowse")), Qt::LeftButton);
    QCOMPARE(answerer.fileDialogs().size(), 1);
    QVERIFY2(answerer.fileDialogs().first().captions.join('|').contains(QStringLiteral("取消")),
             qPrintable(answerer.fileDialogs().first().captions.join('|')));
    m_window.reset();
    m_window = std::make_unique<StationWindow>();
    QCOMPARE(m_window->findChild<QPushButton *>(QStringLiteral("btnStart"))->text(), QStringLiteral("开始"));
    m_window->findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(0);
}

QTEST_MAIN(TestStationWindow)
#include "tst_stationwindow.moc"
