#include "report.h"

#include "codec.h"
#include "constants.h"
#include "options.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace Flash {

namespace {

QString minutesSeconds(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString progressLine(const Progress &p)
{
    const int percent = p.total == 0 ? 0 : static_cast<int>(100.0 * p.acknowledged / p.total);
    QString speed = QStringLiteral("- KiB/s");
    QString left = QStringLiteral("- left");
    if (p.acknowledged > 0 && p.elapsedMs > 0) {
        const double bytesPerS = 1000.0 * p.acknowledged * Quorvane::kPacketBytes / p.elapsedMs;
        speed = QStringLiteral("%1 KiB/s").arg(bytesPerS / 1024.0, 0, 'f', 1);
        const double msPerPacket = static_cast<double>(p.elapsedMs) / p.acknowledged;
        left = minutesSeconds(static_cast<qint64>(msPerPacket * (p.total - p.acknowledged) / 1000.0 + 0.5)) +
               QStringLiteral(" left");
    }
    const int digits = QString::number(p.total).size();
    if (p.stopped) {
        return QStringLiteral("%1  %2/%3  %4 %  %5")
            .arg(p.port)
            .arg(p.acknowledged, digits)
            .arg(p.total)
            .arg(percent, 3)
            .arg(p.phase);
    }
    return QStringLiteral("%1  %2/%3  %4 %  %5  %6  %7")
        .arg(p.port)
        .arg(p.acknowledged, digits)
        .arg(p.total)
        .arg(percent, 3)
        .arg(speed, left, p.phase);
}

int progressStep(quint32 acknowledged, quint32 total)
{
    if (total == 0) {
        return 0;
    }
    return static_cast<int>(10 * (static_cast<quint64>(acknowledged) * 10 / total));
}

QString summaryTable(const QList<PortResult> &results)
{
    // The version after the update has a column where a pack was checked after it.
    const bool after = std::any_of(results.cbegin(), results.cend(),
                                   [](const PortResult &r) { return !r.record.versionAfter.isNull(); });
    QStringList head{QStringLiteral("PORT"), QStringLiteral("VERSION"), QStringLiteral("OUTCOME")};
    if (after) {
        head << QStringLiteral("AFTER");
    }
    QList<QStringList> rows{head << QStringLiteral("SECONDS")};
    for (const PortResult &r : results) {
        const Download::Record &d = r.record;
        const QString version =
            d.packVersion.isEmpty() ? QStringLiteral("-") : printableVersion(d.packVersion);
        QStringList cells{d.port, r.unverified ? QStringLiteral("- (unverified)") : version, d.outcome};
        if (after) {
            cells << (d.versionAfter.isEmpty() ? QStringLiteral("-") : printableVersion(d.versionAfter));
        }
        rows.append(cells << QString::number(Download::seconds(d), 'f', 1));
    }
    return alignedTable(rows, after ? 4 : 3);
}

QString alignedTable(const QList<QStringList> &rows, int leftColumns)
{
    QList<int> widths;
    for (const QStringList &row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) {
                widths.append(0);
            }
            widths[c] = std::max(widths[c], static_cast<int>(row[c].size()));
        }
    }
    QString text;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (int c = 0; c < row.size(); ++c) {
            cells << (c < leftColumns ? row[c].leftJustified(widths[c]) : row[c].rightJustified(widths[c]));
        }
        text += cells.join(QStringLiteral("  ")) + QLatin1Char('\n');
    }
    return text;
}

QJsonArray reportJson(const QList<PortResult> &results)
{
    QJsonArray array;
    for (const PortResult &r : results) {
        QJsonObject o = Download::toJson(r.record);
        o.insert(QStringLiteral("exit_code"), r.exitCode);
        o.insert(QStringLiteral("unverified"), r.unverified);
        if (!r.failure.isEmpty()) {
            o.insert(QStringLiteral("failure"), r.failure);
        }
        array.append(o);
    }
    return array;
}

int overallExitCode(const QList<PortResult> &results)
{
    for (const PortResult &r : results) {
        if (r.exitCode != 0) {
            return r.exitCode;
        }
    }
    return 0;
}

} // namespace Flash
