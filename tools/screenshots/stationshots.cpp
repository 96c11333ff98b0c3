// Grabs QuorvaneStation's window offscreen at work, in English and in Chinese, for the documentation.
//   QT_QPA_PLATFORM=offscreen quorvane_stationshots <output directory>
// writes station-en.png and station-zh.png there: the real window with the version check on, over six
// ports with simulated packs on pseudo-terminals, taken when its tiles show six states at once:
//   ttyUSB0  waiting      the port's device is not there
//   ttyUSB1  flashing     a pack answering as at 9600 baud, about half way through its firmware
//   ttyUSB2  verifying    a pack restarting into its new firmware, silent for a while
//   ttyUSB3  passed       a pack that restarted at once and reports its new version
//   ttyUSB4  failed       a pack pulled after its third packet
//   ttyUSB5  not_flashed  a pack of a version the folder holds no firmware for
// The seventh state, stopped, comes after Stop, for every tile at once. The window is the form's,
// grown where its tiles would scroll or cut a word, so that all six show whole. Starts from no
// settings (English) and no download record, and leaves both files of its program directory as it
// found them.
#include "eventwait.h"
#include "packsimulator.h"
#include "settings.h"
#include "shotsupport.h"
#include "stationwindow.h"
#include "testfirmware.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <memory>
#include <vector>

using PackSim::Kind;
using PackSim::PackSimulator;

namespace {

constexpr qint64 kImageBytes = 32768; // 16 packets
constexpr int kBaud = 9600;
constexpr int kFlashingPackets = 7;    // the slow pack's packets acknowledged before the pictures
constexpr int kRestartMs = 25000;      // the verifying pack's silence after its image (the check waits 30 s)
constexpr int kPulledAfterPackets = 3; // the pulled pack's packets before it goes
constexpr int kSceneTimeoutMs = 60000; // the tiles' states must all be there by then
constexpr int kFitRounds = 16;         // times at most the window grows to hold its tiles
constexpr int kTileColumns = 4;        // the window's tiles to a row
constexpr int kLanguageSettleMs = 300; // ms for the window to lay itself out in the other language
const char kVersion[] = "BMS_V2.1.07_2026";
const char kVersionAfter[] = "BMS_V2.1.07_2027";
const char kOtherVersion[] = "BMS_V3.0.00_2027"; // a second model's firmware, in the folder too
const char kUnknownVersion[] = "BMS_V1.9.03_2025";

// How much wider the tiles' widest label must be for its longest word: a version in the state's
// line is not broken, it is cut.
int narrowest(QWidget &window)
{
    int missing = 0;
    for (QWidget *t : window.findChildren<QWidget *>(QStringLiteral("tile"))) {
        for (QLabel *label : t->findChildren<QLabel *>()) {
            if (!label->isVisible()) {
                continue;
            }
            // Lines break at spaces, after a slash, and anywhere between Chinese characters.
            static const QRegularExpression breaks(QStringLiteral("[\\s/\\x{2E80}-\\x{FFFF}]"));
            const QStringList words = label->text().split(breaks);
            for (const QString &word : words) {
                missing = qMax(missing,
                               label->fontMetrics().horizontalAdvance(word) - label->contentsRect().width());
            }
        }
    }
    return missing;
}

// The window grown until the tiles need no scroll bar and cut no word: all of them in the picture.
// The tiles share the width four to a row; the height goes to them and the history.
void fitTiles(QWidget &window)
{
    auto *area = window.findChild<QScrollArea *>(QStringLiteral("scrTiles"));
    for (int i = 0; i < kFitRounds && area != nullptr; ++i) {
        QCoreApplication::processEvents();
        const QSize overflow(area->horizontalScrollBar()->maximum() + kTileColumns * narrowest(window),
                             area->verticalScrollBar()->maximum());
        if (overflow.width() <= 0 && overflow.height() <= 0) {
            return;
        }
        window.resize(window.size() + overflow.expandedTo(QSize(0, 0)));
    }
}

bool save(QWidget &window, const QString &path)
{
    fitTiles(window);
    return Shots::save(window, path);
}

QWidget *tile(QWidget &window, const QString &port)
{
    const QList<QWidget *> tiles = window.findChildren<QWidget *>(QStringLiteral("tile"));
    for (QWidget *t : tiles) {
        if (t->property("port").toString() == port) {
            return t;
        }
    }
    return nullptr;
}

// A port of the scene: its link, the state its tile must show, and its pack (none: no device).
struct Port
{
    QString link;
    QString state;
    std::unique_ptr<PackSimulator> pack;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QDir out;
    if (const int failed = Shots::outputFolder("quorvane_stationshots", &out)) {
        return failed;
    }
    const Shots::KeptFile config(Settings::configPath());
    const Shots::KeptFile record(Settings::recordPath());

    // The firmware folder: a file for the packs' version and one for another model.
    QTemporaryDir line(QDir::tempPath() + QStringLiteral("/line-XXXXXX"));
    const QString firmwareDir = line.filePath(QStringLiteral("firmware"));
    for (const auto &[version, seed] :
         {std::pair<const char *, quint32>{kVersionAfter, 1}, {kOtherVersion, 2}}) {
        const QString path = firmwareDir + QStringLiteral("/%1/bms.bin").arg(QLatin1String(version));
        QString error;
        if (!QDir().mkpath(QFileInfo(path).path()) ||
            !PackSim::writeFirmwareFile(path, kImageBytes, seed, &error)) {
            QTextStream(stderr) << "cannot write " << path << ": " << error << '\n';
            return 1;
        }
        // Copied in long ago: no port waits for it to settle.
        QFile file(path);
        if (!file.open(QIODevice::Append) ||
            !file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime)) {
            QTextStream(stderr) << "cannot date " << path << '\n';
            return 1;
        }
    }

    std::vector<Port> ports;
    const char *const states[] = {"waiting", "flashing", "verifying", "passed", "failed", "not_flashed"};
    for (const char *state : states) {
        Port port;
        port.link = line.filePath(QStringLiteral("ttyUSB%1").arg(ports.size()));
        port.state = QLatin1String(state);
        if (port.state != QLatin1String("waiting")) {
            port.pack = std::make_unique<PackSimulator>();
            port.pack->setReportViolationsOnStderr(false);
            port.pack->setVersionText(QLatin1String(kVersion));
            port.pack->setVersionAfterImage(QLatin1String(kVersionAfter));
            if (!port.pack->openPty(port.link)) {
                QTextStream(stderr) << "cannot open a pseudo-terminal: " << port.pack->errorString() << '\n';
                return 1;
            }
            port.pack->unplug(); // plugged in once the station runs
        }
        ports.push_back(std::move(port));
    }
    PackSimulator *flashing = ports[1].pack.get();
    flashing->setPaceBaud(kBaud);
    // Silent from its answer to the end command on, while the check asks for its version.
    PackSimulator *restarting = ports[2].pack.get();
    QObject::connect(restarting, &PackSimulator::replySent, restarting, [restarting](Kind kind) {
        if (kind == Kind::End) {
            restarting->powerCycle(kRestartMs);
        }
    });
    PackSimulator *pulled = ports[4].pack.get();
    QObject::connect(pulled, &PackSimulator::commandReceived, pulled, [pulled](Kind kind) {
        if (kind == Kind::Data && pulled->commandCount(Kind::Data) == kPulledAfterPackets) {
            QTimer::singleShot(0, pulled, [pulled] { pulled->unplug(); });
        }
    });
    ports[5].pack->setVersionText(QLatin1String(kUnknownVersion));

    int rc = 0;
    {
        Station::StationWindow window;
        window.show();
        Station::StationPreset preset;
        preset.firmwareDir = QDir::toNativeSeparators(firmwareDir);
        for (const Port &port : ports) {
            preset.ports << port.link;
        }
        preset.baud = kBaud;
        preset.verify = true;
        preset.expectVersion = QLatin1String(kVersionAfter);
        preset.start = true;
        window.applyPreset(preset);
        for (Port &port : ports) {
            if (port.pack && !port.pack->plugIn()) {
                QTextStream(stderr) << "cannot plug in " << port.link << ": " << port.pack->errorString()
                                    << '\n';
                return 1;
            }
        }

        // Every tile in its state, the pulled pack's gone and the others' still there.
        const auto scene = [&] {
            for (const Port &port : ports) {
                QWidget *t = tile(window, port.link);
                if (t == nullptr || t->property("state").toString() != port.state) {
                    return false;
                }
                const bool present = port.state != QLatin1String("failed");
                if (port.pack && port.state != QLatin1String("flashing") &&
                    port.state != QLatin1String("verifying") &&
                    t->property("packPresent").toBool() != present) {
                    return false;
                }
            }
            return flashing->commandCount(Kind::Data) > kFlashingPackets;
        };
        if (!EventWait::until(scene, kSceneTimeoutMs)) {
            QTextStream(stderr) << "the tiles did not reach their states:";
            for (const Port &port : ports) {
                QWidget *t = tile(window, port.link);
                QTextStream(stderr) << ' ' << QFileInfo(port.link).fileName() << '='
                                    << (t ? t->property("state").toString() : QStringLiteral("?"));
            }
            QTextStream(stderr) << '\n';
            return 1;
        }
        if (!save(window, out.filePath(QStringLiteral("station-en.png")))) {
            rc = 1;
        }
        window.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(1);
        EventWait::until([] { return false; }, kLanguageSettleMs);
        if (!scene()) {
            QTextStream(stderr) << "the tiles changed before the Chinese picture\n";
            rc = 1;
        } else if (!save(window, out.filePath(QStringLiteral("station-zh.png")))) {
            rc = 1;
        }
        // The window goes without Stop or Close: the packs still at work need no answer.
    }
    return rc;
}
