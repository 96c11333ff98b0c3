#include "stationview.h"

#include "options.h"
#include "report.h"

#include <QMap>

namespace Flash {

QString stationRowText(const StationRow &row, int width)
{
    QString state;
    switch (row.phase) {
    case StationPhase::Waiting:
        state = QStringLiteral("waiting");
        break;
    case StationPhase::Flashing:
        state = QStringLiteral("flashing %1/%2").arg(row.acknowledged).arg(row.total);
        break;
    case StationPhase::Leaving:
        state = row.outcome == notFlashedOutcome()
                    ? QStringLiteral("not flashed; remove pack")
                    : QStringLiteral("done (%1); remove pack").arg(row.outcome);
        break;
    case StationPhase::Stopped:
        state = QStringLiteral("stopped");
        break;
    }
    return row.port.leftJustified(width) + QStringLiteral("  ") + state;
}

QString stationTotals(int confirmed, int failed)
{
    return QStringLiteral("packs confirmed: %1  failed: %2").arg(confirmed).arg(failed);
}

QString notFlashedOutcome()
{
    return QStringLiteral("not_flashed");
}

bool flashed(const PortResult &result)
{
    return result.record.outcome != notFlashedOutcome();
}

QString stationResultLine(const PortResult &r)
{
    const Download::Record &d = r.record;
    QString line =
        QStringLiteral("%1  %2  %3  %4  %5 s")
            .arg(d.port, d.packVersion.isEmpty() ? QStringLiteral("-") : printableVersion(d.packVersion),
                 d.file.isEmpty() ? QStringLiteral("-") : d.file, d.outcome)
            .arg(Download::seconds(d), 0, 'f', 1);
    if (!r.failure.isEmpty()) {
        line += QStringLiteral(" (%1)").arg(r.failure);
    }
    return line;
}

QString stationSummary(const QList<PortResult> &results, const QStringList &ports)
{
    QMap<QString, int> perOutcome;
    QMap<QString, QList<int>> perPort; // confirmed, failed, not flashed
    for (const QString &port : ports) {
        perPort[port] = {0, 0, 0};
    }
    for (const PortResult &r : results) {
        ++perOutcome[r.record.outcome];
        QList<int> &counts = perPort[r.record.port];
        if (counts.isEmpty()) {
            counts = {0, 0, 0};
        }
        ++counts[!flashed(r) ? 2 : r.exitCode == kExitConfirmed ? 0 : 1];
    }
    QList<QStringList> outcomes{{QStringLiteral("OUTCOME"), QStringLiteral("PACKS")}};
    for (auto it = perOutcome.cbegin(); it != perOutcome.cend(); ++it) {
        outcomes.append({it.key(), QString::number(it.value())});
    }
    QList<QStringList> rows{{QStringLiteral("PORT"), QStringLiteral("CONFIRMED"), QStringLiteral("FAILED"),
                             QStringLiteral("NOT FLASHED")}};
    for (auto it = perPort.cbegin(); it != perPort.cend(); ++it) {
        rows.append({it.key(), QString::number(it.value()[0]), QString::number(it.value()[1]),
                     QString::number(it.value()[2])});
    }
    return alignedTable(outcomes, 1) + QLatin1Char('\n') + alignedTable(rows, 1);
}

int stationExitCode(const QList<PortResult> &results)
{
    for (const PortResult &r : results) {
        if (flashed(r) && r.exitCode != kExitConfirmed) {
            return r.exitCode;
        }
    }
    return kExitConfirmed;
}

} // namespace Flash
