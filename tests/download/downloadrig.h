// The rig of the download tests: the pack simulator on a pseudo-terminal, the real window with its
// port opened on the simulator's end (so the version query has run and the pack's version is
// known), the modal answerer, and a firmware file whose path carries that version.
#pragma once

#include "constants.h"
#include "eventwait.h"
#include "mainwindow.h"
#include "mainwindowtestaccess.h"
#include "modalanswerer.h"
#include "packsimulator.h"
#include "windowlookup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

class DownloadRig
{
public:
    DownloadRig()
    {
        QFile::remove(configPath());
        QFile::remove(recordPath());
        if (!m_files.isValid() || !QDir(m_files.path()).mkpath(versionDir())) {
            m_error = QStringLiteral("no temporary directory");
            return;
        }
        pack.setReportViolationsOnStderr(false);
        if (!pack.openPty()) {
            m_error = pack.errorString();
            return;
        }
        window.setExtraPort(pack.slavePath());
        window.show();
        // The init and end commands go out every kFastTickMs: a test that does not look at their
        // spacing waits on nothing but the line. useRealTicks() gives back the pack's second.
        exchange().setTickMs(kFastTickMs);
    }

    ~DownloadRig()
    {
        QFile::remove(configPath());
        QFile::remove(recordPath());
    }

    static QString configPath() { return WindowLookup::configPath(); }
    static QString recordPath()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/downloads.jsonl");
    }
    // The objects of the download record, one a line.
    static QList<QJsonObject> records()
    {
        QList<QJsonObject> found;
        QFile file(recordPath());
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (!line.isEmpty()) {
                    found.append(QJsonDocument::fromJson(line).object());
                }
            }
        }
        return found;
    }
    static QString versionDir() { return QString::fromLatin1(PackSim::PackSimulator::kDefaultVersionText); }

    QString error() const { return m_error; }

    // The tests' tick: short, yet long enough for the in-process pack to answer a command before the
    // next one is due, even under the sanitizers on a busy machine.
    static constexpr int kFastTickMs = 50;
    // The ticks the pack expects, for the tests that hold the exchange to them (the spacing of the
    // init and end commands), or that answer a question while a tick is due.
    void useRealTicks() { exchange().setTickMs(Quorvane::kUpgradeTickMs); }
    int tickMs() { return exchange().tickMs(); }

    // Opens the port; the window asks for the version at once. Returns when all five answers are in
    // and consumed, with the counters of the simulator set back to zero.
    bool openPort()
    {
        QSignalSpy versions(&exchange(), &Download::Exchange::versionReported);
        click("btn_openConsole");
        if (!EventWait::until([&] { return versions.count() == 5; }, 5000)) {
            return false;
        }
        pack.resetCounters();
        return widget<QLineEdit>("leVer")->text() == versionDir();
    }

    // Writes a firmware file of size bytes in the version's directory and loads it through the dialog.
    bool load(qint64 size, quint32 seed = 1)
    {
        const QString path = m_files.filePath(versionDir() + QStringLiteral("/fw_%1.bin").arg(size));
        if (!PackSim::writeFirmwareFile(path, size, seed, &m_error)) {
            return false;
        }
        fileBytes = PackSim::firmwareBytes(size, seed);
        answerer.chooseFile(path);
        click("btnFileLoad");
        return MainWindowTestAccess::packetCount(window) == quint32(PackSim::packetCountFor(size));
    }

    void click(const char *button) { QTest::mouseClick(widget<QPushButton>(button), Qt::LeftButton); }

    template <typename T> T *widget(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    QListWidget *log() { return widget<QListWidget>("listWidget"); }
    QProgressBar *progress() { return widget<QProgressBar>("progressBar"); }

    // Log lines whose message contains text.
    int logLines(const QString &text)
    {
        const QListWidget *list = log();
        int count = 0;
        for (int row = 0; row < list->count(); ++row) {
            count += list->item(row)->text().contains(text) ? 1 : 0;
        }
        return count;
    }

    // Counts the completion lines as they are written (a look at the whole log on every turn of
    // the event loop would slow a long download down).
    void watchCompletion()
    {
        completions = 0;
        QListWidget *list = log();
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list, [this, list] {
            completions += list->item(0)->text().endsWith(QStringLiteral(":  Update completed")) ? 1 : 0;
        });
    }
    int completions = 0;

    QList<PackSim::ReceivedFrame> frames(PackSim::Kind kind) const
    {
        QList<PackSim::ReceivedFrame> found;
        for (const PackSim::ReceivedFrame &frame : pack.receivedFrames()) {
            if (frame.kind == kind) {
                found.append(frame);
            }
        }
        return found;
    }

    Download::Exchange &exchange() { return MainWindowTestAccess::exchange(window); }
    QTimer *initTimer() { return exchange().findChild<QTimer *>(QStringLiteral("initTimer")); }
    QTimer *endTimer() { return exchange().findChild<QTimer *>(QStringLiteral("endTimer")); }

    PackSim::PackSimulator pack;
    MainWindow window;
    ModalAnswerer answerer;
    QByteArray fileBytes;

private:
    QTemporaryDir m_files;
    QString m_error;
};

// The fixture of the download tests: a fresh rig for every test function, its port open on the
// simulator. A test class derives from it and uses m_rig.
class DownloadFixture : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_rig = std::make_unique<DownloadRig>();
        QVERIFY2(m_rig->error().isEmpty(), qPrintable(m_rig->error()));
        QVERIFY(m_rig->openPort());
    }

    void cleanup() { m_rig.reset(); }

protected:
    std::unique_ptr<DownloadRig> m_rig;
};

// Pictures for the documentation: with QUORVANE_SHOTS_DIR set (tools/screenshots/notices.sh), the
// window as it is, with box (a modal message box about to be answered) drawn over its middle, is
// saved there as name.png. Without it nothing is written.
inline void shoot(QWidget &window, const QString &name, QWidget *box = nullptr)
{
    const QString dir = qEnvironmentVariable("QUORVANE_SHOTS_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QCoreApplication::processEvents();
    QPixmap picture = window.grab();
    if (box != nullptr) {
        const QPixmap over = box->grab();
        QPainter painter(&picture);
        painter.drawPixmap((picture.width() - over.width()) / 2, (picture.height() - over.height()) / 2,
                           over);
    }
    QDir().mkpath(dir);
    QVERIFY2(picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png")), qPrintable(name));
}

// Completion line text and the sent-package line of packet n of total.
inline QString completedText()
{
    return QStringLiteral(":  Update completed");
}
inline QString sentText(int n, int total)
{
    return QStringLiteral("\t Sent package:%1, total:%2 packages.").arg(n).arg(total);
}
