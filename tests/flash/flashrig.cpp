#include "flashrig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using PackSim::Kind;
using PackSim::PackSimulator;

void FlashRig::init()
{
    qRegisterMetaType<QProcess::ExitStatus>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString FlashRig::writeImage(const QString &folder, qint64 size, quint32 seed)
{
    QDir(m_dir->path()).mkpath(folder);
    const QString path = m_dir->filePath(folder + QStringLiteral("/fw_%1.bin").arg(size));
    return PackSim::writeFirmwareFile(path, size, seed) ? path : QString();
}

std::unique_ptr<PackSimulator> FlashRig::newPack()
{
    auto pack = std::make_unique<PackSimulator>();
    pack->setReportViolationsOnStderr(false);
    return pack->openPty() ? std::move(pack) : nullptr;
}

bool FlashRig::applyFault(PackSimulator *pack, const QString &fault, QString *why)
{
    if (fault == QLatin1String("no-end-reply")) {
        pack->setNoEndReply(true);
    } else if (fault.startsWith(QLatin1String("pull:"))) {
        const int after = fault.mid(5).toInt();
        connect(pack, &PackSimulator::commandReceived, pack, [pack, after](Kind kind) {
            if (kind == Kind::Data && pack->commandCount(Kind::Data) == after) {
                QTimer::singleShot(0, pack, [pack] { pack->pullAdapter(); });
            }
        });
    } else if (!fault.isEmpty()) {
        return pack->addSilent(fault, why);
    }
    return true;
}

RunResult FlashRig::run(const QStringList &arguments, const QString &reportAt)
{
    RunResult r;
    const QString reportPath = reportAt.isEmpty() ? m_dir->filePath(QStringLiteral("report.json")) : reportAt;
    if (QFileInfo(reportPath).isFile()) { // never a device some row writes the report to
        QFile::remove(reportPath);
    }
    QProcess process;
    QSignalSpy finished(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished));
    process.start(QString::fromUtf8(quorvaneFlashExe),
                  QStringList{QStringLiteral("--json"), reportPath} + arguments);
    if (!finished.wait(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    QFile report(reportPath);
    if (QFileInfo(reportPath).isFile() && report.open(QIODevice::ReadOnly)) {
        r.report = QJsonDocument::fromJson(report.readAll()).array();
    }
    return r;
}
