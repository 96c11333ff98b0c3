// Download benchmarks: the real window offscreen against the pack simulator on a pseudo-terminal.
//
//   download_bench turnaround [PACKETS]     time from the pack's acknowledgement leaving to the last
//                                           byte of the next data frame arriving (unpaced line); the
//                                           simulator answers from a thread of its own, on the same
//                                           clock as the window
//   download_bench line BAUD PACKETS        wall time of a whole download against quorvane-packsim
//                                           --pace BAUD running as a process of its own, compared
//                                           with the pure line time plus the two one-second waits:
//                                           judged on the commands' line time, since the pty hands
//                                           the replies over at once and the simulator paces only
//                                           the commands; the replies' line time is shown beside it
//   download_bench load FILE                loading FILE through the real dialog (time only; run it
//                                           under /usr/bin/time -v for the peak memory)
#include "benchsupport.h"
#include "eventwait.h"
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "packsimulator.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kInitBytes = 18;
constexpr int kDataBytes = 2066;
constexpr int kEndBytes = 22;
constexpr double kBitsPerByte = 10.0; // 8N1
constexpr double kFixedWaitsS = 2.0;  // 1 s to the first init tick, 1 s to the first end tick
constexpr int kQuietMs = 300;         // no byte this long after the version answers: the line is idle

void click(MainWindow &w, const char *name)
{
    QTest::mouseClick(w.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
}

struct Rig
{
    MainWindow window;
    ModalAnswerer answerer;
    QTemporaryDir dir;
    QByteArray fileBytes;
    int completions = 0;

    // Opens the port at path and waits until the version answers are in and the line is idle.
    bool open(const QString &path)
    {
        window.setExtraPort(path);
        window.show();
        QElapsedTimer sinceByte;
        sinceByte.start();
        click(window, "btn_openConsole");
        QSerialPort *port = MainWindowTestAccess::port(window);
        QObject::connect(port, &QSerialPort::readyRead, port, [&sinceByte] { sinceByte.restart(); });
        const QString expected = QString::fromLatin1(PackSim::PackSimulator::kDefaultVersionText);
        const bool ok = EventWait::until(
            [&] {
                return MainWindowTestAccess::version(window) == expected && sinceByte.elapsed() > kQuietMs;
            },
            10000);
        QObject::disconnect(port, &QSerialPort::readyRead, port, nullptr);
        if (!ok) {
            std::fprintf(stderr, "no version from the pack on %s\n", qPrintable(path));
            return false;
        }
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
        if (!PackSim::writeFirmwareFile(path, size, 1))
            return false;
        fileBytes = PackSim::firmwareBytes(size, 1);
        answerer.chooseFile(path);
        click(window, "btnFileLoad");
        if (MainWindowTestAccess::packetCount(window) != quint32(packets)) {
            std::fprintf(stderr, "loading a %d-packet image failed (16 packets at least)\n", packets);
            return false;
        }
        return true;
    }

    // Clicks Start and runs until the completion line; the wall time in seconds, or -1.
    double downloadOnce(int timeoutMs)
    {
        completions = 0;
        QElapsedTimer clock;
        clock.start();
        click(window, "btnStart");
        if (!EventWait::until([&] { return completions == 1; }, timeoutMs)) {
            std::fprintf(stderr, "the download did not complete\n");
            return -1;
        }
        return static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
};

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const size_t at =
        std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[at];
}

int turnaround(int packets)
{
    SimThread sim;
    if (!sim.startSimulator()) {
        std::fprintf(stderr, "pty: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    Rig rig;
    if (!rig.open(sim.slavePath()) || !rig.load(packets))
        return 1;
    sim.takeSamples();
    const double wallS = rig.downloadOnce(600000);
    if (wallS < 0 || !EventWait::until([&] { return sim.imagesCompleted() == 1; }, 5000) ||
        sim.image() != PackSim::expectedImage(rig.fileBytes) || sim.violations() != 0) {
        std::fprintf(stderr, "download failed, image differs or violations (%d)\n", sim.violations());
        return 1;
    }
    const std::vector<double> us = sim.takeSamples();
    const size_t head = std::min<size_t>(1000, us.size());
    std::printf("turnaround over %zu packets: median %.3f ms, p99 %.3f ms, max %.3f ms; "
                "first 1000 median %.3f ms, last 1000 median %.3f ms; whole download %.2f s\n",
                us.size(), percentile(us, 0.5) / 1000, percentile(us, 0.99) / 1000,
                percentile(us, 1.0) / 1000,
                percentile(std::vector<double>(us.begin(), us.begin() + head), 0.5) / 1000,
                percentile(std::vector<double>(us.end() - head, us.end()), 0.5) / 1000, wallS);
    return 0;
}

int line(int baud, int packets)
{
    QTemporaryDir out;
    const QString imagePath = out.filePath(QStringLiteral("received.bin"));
    PackSimProcess sim;
    if (baud <= 0 || !sim.start({QStringLiteral("--pace"), QString::number(baud), QStringLiteral("--no-log"),
                                 QStringLiteral("--image-out"), imagePath},
                                10000)) {
        std::fprintf(stderr, "quorvane-packsim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    Rig rig;
    if (!rig.open(sim.slavePath()) || !rig.load(packets))
        return 1;
    const double wallS = rig.downloadOnce(3600000);
    const QByteArray expected = PackSim::expectedImage(rig.fileBytes);
    QFile received(imagePath);
    const bool same = wallS >= 0 && received.open(QIODevice::ReadOnly) && received.readAll() == expected;
    const bool stopped = sim.stop(5000);
    if (!same || !stopped || sim.violations() != 0) {
        std::fprintf(stderr, "download failed, image differs or the simulator complained:\n%s\n",
                     qPrintable(sim.summary()));
        return 1;
    }
    const int frames = packets + 2;
    const double commandBytes = kInitBytes + double(packets) * kDataBytes + kEndBytes;
    const double replyBytes = double(frames) * PackSim::PackSimulator::emptyReply().size();
    const double commandsS = commandBytes * kBitsPerByte / baud;
    const double repliesS = replyBytes * kBitsPerByte / baud;
    const double judged = commandsS + kFixedWaitsS;
    const double both = commandsS + repliesS + kFixedWaitsS;
    std::printf("line %d baud, %d packets (%d frames each way): download %.3f s\n"
                "line   commands only (judged): %.3f s on the line + 2 s fixed waits = %.3f s; "
                "excess %.3f s = %.2f %% (%.2f ms a frame)\n"
                "line   commands + replies:     %.3f s + %.3f s + 2 s = %.3f s; excess %.3f s = %.2f %% "
                "(%.2f ms a frame)\n",
                baud, packets, frames, wallS, commandsS, judged, wallS - judged,
                100.0 * (wallS - judged) / judged, 1000.0 * (wallS - judged) / frames, commandsS, repliesS,
                both, wallS - both, 100.0 * (wallS - both) / both, 1000.0 * (wallS - both) / frames);
    return 0;
}

int load(const QString &file)
{
    MainWindow window;
    window.show();
    ModalAnswerer answerer;
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
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("load") && args.size() == 2)
        return load(args.value(1));
    if (mode == QLatin1String("turnaround") && args.size() <= 2)
        return turnaround(args.value(1, QStringLiteral("1200")).toInt());
    if (mode == QLatin1String("line") && args.size() == 3)
        return line(args.value(1).toInt(), args.value(2).toInt());
    std::fprintf(stderr, "usage: download_bench turnaround [PACKETS] | line BAUD PACKETS | load FILE\n");
    return 2;
}
