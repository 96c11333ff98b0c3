// Download benchmarks: the real window offscreen against the pack simulator on a pseudo-terminal.
//
//   download_bench turnaround [PACKETS]     time from the pack's acknowledgement leaving to the last
//                                           byte of the next data frame arriving (unpaced line)
//   download_bench line BAUD PACKETS        wall time of a whole download with the pack pacing its
//                                           answers at BAUD, against the pure line time of the
//                                           commands plus the two fixed one-second waits
//   download_bench load FILE                loading FILE through the real dialog (time only; run it
//                                           under /usr/bin/time -v for the peak memory)
// Options: --uniform-log   give the log list uniform item sizes before the download (compare).
#include "app/mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "packsimulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using PackSim::Kind;

namespace {

constexpr int kFrameBytes[] = {18, 2066, 22}; // init, data, end
constexpr double kBitsPerByte = 10.0;         // 8N1

bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    look.start(5);
    if (!done()) {
        loop.exec();
    }
    return done();
}

void click(MainWindow &w, const char *name)
{
    QTest::mouseClick(w.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
}

struct Rig
{
    PackSim::PackSimulator pack;
    MainWindow window;
    ModalAnswerer answerer;
    QTemporaryDir dir;
    QByteArray fileBytes;
    int completions = 0;

    bool open()
    {
        pack.setReportViolationsOnStderr(true);
        if (!pack.openPty()) {
            std::fprintf(stderr, "pty: %s\n", qPrintable(pack.errorString()));
            return false;
        }
        window.setExtraPort(pack.slavePath());
        window.show();
        click(window, "btn_openConsole");
        if (!runUntil([&] { return pack.repliesSent() == 5 && MainWindowTestAccess::recv(window).isEmpty(); },
                      5000)) {
            std::fprintf(stderr, "no version from the pack\n");
            return false;
        }
        pack.resetCounters();
        QListWidget *log = window.findChild<QListWidget *>(QStringLiteral("listWidget"));
        QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, log, [this, log] {
            completions += log->item(0)->text().endsWith(QStringLiteral(":  Update completed")) ? 1 : 0;
        });
        return true;
    }

    bool load(int packets)
    {
        const QString sub = QString::fromLatin1(PackSim::PackSimulator::kDefaultVersionText);
        QDir(dir.path()).mkpath(sub);
        const QString path = dir.filePath(sub + QStringLiteral("/bench.bin"));
        const qint64 size = 4 + qint64(packets) * 2048;
        if (!PackSim::writeFirmwareFile(path, size, 1)) {
            return false;
        }
        fileBytes = PackSim::firmwareBytes(size, 1);
        answerer.chooseFile(path);
        click(window, "btnFileLoad");
        return MainWindowTestAccess::packetCount(window) == quint32(packets);
    }

    bool downloadOnce(int timeoutMs)
    {
        completions = 0;
        click(window, "btnStart");
        return runUntil([&] { return completions == 1; }, timeoutMs) &&
               pack.image() == PackSim::expectedImage(fileBytes);
    }
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t at =
        std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[at];
}

int turnaround(Rig &rig, int packets)
{
    if (!rig.load(packets)) {
        std::fprintf(stderr, "loading a %d-packet image failed (16 packets at least)\n", packets);
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 ackNs = -1;
    std::vector<double> samplesUs;
    QObject::connect(&rig.pack, &PackSim::PackSimulator::replySent, &rig.pack, [&](Kind kind) {
        ackNs = (kind == Kind::Data || kind == Kind::Init) ? clock.nsecsElapsed() : -1;
    });
    QObject::connect(&rig.pack, &PackSim::PackSimulator::commandReceived, &rig.pack, [&](Kind kind) {
        if (kind == Kind::Data && ackNs >= 0) {
            samplesUs.push_back(static_cast<double>(clock.nsecsElapsed() - ackNs) / 1000.0);
            ackNs = -1;
        }
    });
    const qint64 startMs = clock.elapsed();
    if (!rig.downloadOnce(600000)) {
        std::fprintf(stderr, "download failed or image differs\n");
        return 1;
    }
    const double wallS = static_cast<double>(clock.elapsed() - startMs) / 1000.0;
    std::printf("turnaround over %zu packets: median %.3f ms, p99 %.3f ms, max %.3f ms; "
                "first 1000 median %.3f ms, last 1000 median %.3f ms; whole download %.2f s\n",
                samplesUs.size(), percentile(samplesUs, 0.5) / 1000, percentile(samplesUs, 0.99) / 1000,
                percentile(samplesUs, 1.0) / 1000,
                percentile(std::vector<double>(samplesUs.begin(),
                                               samplesUs.begin() + std::min<size_t>(1000, samplesUs.size())),
                           0.5) /
                    1000,
                percentile(std::vector<double>(samplesUs.end() - std::min<size_t>(1000, samplesUs.size()),
                                               samplesUs.end()),
                           0.5) /
                    1000,
                wallS);
    return 0;
}

int line(Rig &rig, int baud, int packets)
{
    if (!rig.load(packets)) {
        std::fprintf(stderr, "loading a %d-packet image failed (16 packets at least)\n", packets);
        return 1;
    }
    rig.pack.setPaceBaud(baud);
    QElapsedTimer clock;
    clock.start();
    if (!rig.downloadOnce(3600000)) {
        std::fprintf(stderr, "download failed or image differs\n");
        return 1;
    }
    const double wallS = static_cast<double>(clock.elapsed()) / 1000.0;
    const double commandBytes = kFrameBytes[0] + double(packets) * kFrameBytes[1] + kFrameBytes[2];
    const double lineS = commandBytes * kBitsPerByte / baud;
    const double expectedS = lineS + 2.0; // 1 s to the first init tick, 1 s to the first end tick
    std::printf("line %d baud, %d packets: download %.3f s; commands on the line %.3f s + fixed waits 2 s "
                "= %.3f s; excess %.3f s (%.2f %%)\n",
                baud, packets, wallS, lineS, expectedS, wallS - expectedS,
                100.0 * (wallS - expectedS) / expectedS);
    return 0;
}

int load(MainWindow &window, ModalAnswerer &answerer, const QString &file)
{
    MainWindowTestAccess::version(window) = QFileInfo(file).absoluteDir().dirName();
    answerer.chooseFile(QFileInfo(file).absoluteFilePath());
    QElapsedTimer clock;
    clock.start();
    click(window, "btnFileLoad");
    const qint64 ms = clock.elapsed();
    std::printf("load %s: %lld bytes, %u packets, %lld ms (dialog included), boxes %d\n", qPrintable(file),
                static_cast<long long>(QFileInfo(file).size()), MainWindowTestAccess::packetCount(window),
                static_cast<long long>(ms), static_cast<int>(answerer.boxes().size()));
    return MainWindowTestAccess::packetCount(window) > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool uniform = args.removeAll(QStringLiteral("--uniform-log")) > 0;
    const QString mode = args.value(0);

    if (mode == QLatin1String("load")) {
        MainWindow window;
        window.show();
        ModalAnswerer answerer;
        return load(window, answerer, args.value(1));
    }

    Rig rig;
    if (!rig.open()) {
        return 1;
    }
    if (uniform) {
        rig.window.findChild<QListWidget *>(QStringLiteral("listWidget"))->setUniformItemSizes(true);
    }
    if (mode == QLatin1String("turnaround")) {
        return turnaround(rig, args.value(1, QStringLiteral("1200")).toInt());
    }
    if (mode == QLatin1String("line")) {
        return line(rig, args.value(1).toInt(), args.value(2).toInt());
    }
    std::fprintf(stderr, "usage: download_bench turnaround [PACKETS] | line BAUD PACKETS | load FILE "
                         "[--uniform-log]\n");
    return 2;
}
