// The rig of quorvane-flash's real runs: a fresh folder per test function, firmware files in it,
// simulated packs on pseudo-terminals, their faults, and the program run with the event loop
// turning so the packs in this process answer it. Test classes derive from it.
#pragma once

#include "packsimulator.h"
#include "testfirmware.h"
#include "tests/common/buildpaths.h"

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

constexpr int kRunTimeoutMs = 30000;

struct RunResult
{
    int exitCode = -1;
    QString out;
    QString err;
    QJsonArray report;
};

class FlashRig : public QObject
{
    Q_OBJECT

private slots:
    void init();

protected:
    // The file fw_SIZE.bin of seed in folder (below the test's folder).
    QString writeImage(const QString &folder, qint64 size, quint32 seed);
    // The program with --json (report.json in the test's folder unless reportPath) and arguments.
    RunResult run(const QStringList &arguments, const QString &reportPath = QString());
    std::unique_ptr<PackSim::PackSimulator> newPack();
    // A --silent target ("data:5"), "no-end-reply", "pull:N" (the adapter pulled after data N),
    // or "" for none.
    bool applyFault(PackSim::PackSimulator *pack, const QString &fault, QString *why);

    std::unique_ptr<QTemporaryDir> m_dir;
};
