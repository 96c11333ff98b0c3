#include "stationview.h"

#include "options.h"
#include "report.h"

#include <QMap>

#include <algorithm>

namespace Flash {

namespace {

const char kEllipsis[] = "...";

// What became of the last pack: "done (confirmed)", "not flashed", "FAIL (stalled)".
QString resultText(const QString &outcome)
{
    Download::Outcome kind = Download::Outcome::Interrupted;
    Download::outcomeFromName(outcome, &kind);
    if (kind == Download::Outcome::NotFlashed) {
        return QStringLiteral("not flashed");
    }
    if (Download::passed(kind)) {
        return QStringLiteral("done (%1)").arg(outcome);
    }
    return QStringLiteral("FAIL (%1)").arg(outcome);
}

// text in lines of at most width characters, broken at blanks where it can be, each indented.
QString wrapped(const QString &text, int width, const QString &indent)
{
    const int room = std::max(1, width - static_cast<int>(indent.size()));
    QString lines;
    QString current;
    for (const QString &word : text.split(QLatin1Char(' '))) {
        const QString joined = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
        if (joined.size() <= room || current.isEmpty()) {
            current = joined;
        } else {
            lines += indent + current + QLatin1Char('\n');
            current = word;
        }
        while (current.size() > room) {
            lines += indent + current.left(room) + QLatin1Char('\n');
            current = current.mid(room);
        }
    }
    return lines + indent + current;
}

} // namespace

QString stationRowText(const StationRow &row, int width)
{
    QString result = resultText(row.outcome);
    if (!row.versionAfter.isEmpty()) {
        result += QStringLiteral(", now %1").arg(printableVersion(row.versionAfter));
    }
    QString state;
    switch (row.phase) {
    case StationPhase::Waiting:
        state = row.outcome.isEmpty() ? QStringLiteral("waiting") : result + QStringLiteral("; pack removed");
        break;
    case StationPhase::Settling:
        state = QStringLiteral("firmware still changing");
        break;
    case StationPhase::Flashing:
        state = QStringLiteral("flashing %1/%2").arg(row.acknowledged).arg(row.total);
        break;
    case StationPhase::Verifying:
        state = QStringLiteral("verifying");
        break;
    case StationPhase::Leaving:
        state = result + QStringLiteral("; remove pack");
        break;
    case StationPhase::Stopped:
        state = QStringLiteral("stopped");
        break;
    }
    return row.port.leftJustified(width) + QStringLiteral("  ") + state;
}

QString stationTotals(int confirmed, int failed, int notFlashed)
{
    return QStringLiteral("packs confirmed: %1  failed: %2  not flashed: %3")
        .arg(confirmed)
        .arg(failed)
        .arg(notFlashed);
}

bool flashed(const PortResult &result)
{
    return Download::flashed(result.outcome);
}

QString stationResultLine(const PortResult &r, int width)
{
    const Download::Record &d = r.record;
    const auto lineWith = [&d](const QString &file) {
        return QStringLiteral("%1  %2  %3  %4  %5 s")
            .arg(d.port, d.packVersion.isEmpty() ? QStringLiteral("-") : printableVersion(d.packVersion),
                 file.isEmpty() ? QStringLiteral("-") : file, d.outcome)
            .arg(Download::seconds(d), 0, 'f', 1);
    };
    QString line = lineWith(d.file);
    const QString reason = r.failure.isEmpty() ? QString() : QStringLiteral("(%1)").arg(r.failure);
    if (width <= 0 || line.size() + 1 + reason.size() <= width) {
        return reason.isEmpty() ? line : line + QLatin1Char(' ') + reason;
    }
    const int excess = static_cast<int>(line.size()) - width;
    if (excess > 0 && !d.file.isEmpty()) {
        const int keep = std::max(1, static_cast<int>(d.file.size()) - excess - 3);
        line = lineWith(QLatin1String(kEllipsis) + d.file.right(keep));
    }
    if (line.size() > width) { // narrower than port, version and outcome together
        line = line.left(std::max(0, width - 3)) + QLatin1String(kEllipsis);
    }
    if (reason.isEmpty()) {
        return line;
    }
    if (line.size() + 1 + reason.size() <= width) {
        return line + QLatin1Char(' ') + reason;
    }
    return line + QLatin1Char('\n') + wrapped(reason, width, QStringLiteral("  "));
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
