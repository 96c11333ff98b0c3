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

namespace {

constexpr int kMinVersionChars = 4; // a shorter version ("." or "b1d") names no firmware

// Characters that may not reach a terminal raw: control characters, the bidirectional marks and
// other format characters (U+202E), and the line and paragraph separators (U+2028, U+2029).
bool unprintable(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

bool versionUsable(const QString &version)
{
    if (version.trimmed().size() < kMinVersionChars) {
        return false;
    }
    bool letterOrDigit = false;
    for (const QChar c : version) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || unprintable(c)) {
            return false;
        }
        letterOrDigit = letterOrDigit || c.isLetterOrNumber();
    }
    return letterOrDigit;
}

QString printableVersion(const QString &version)
{
    QString text;
    for (const QChar c : version) {
        if (c == QLatin1Char('\\')) {
            text += QStringLiteral("\\\\");
        } else if (unprintable(c)) {
            text += c.unicode() <= 0xFF ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                        : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            text += c;
        }
    }
    return text;
}

QString stalledText(quint32 packet, int stallTimeoutS)
{
    return QStringLiteral("stalled: no answer for package %1 in %2 s; check the cable, then run again")
        .arg(packet)
        .arg(stallTimeoutS);
}

QString portLostText()
{
    return QStringLiteral("the port went away (unplugged?)");
}

int exitCodeForOutcome(const QString &outcome)
{
    static const struct
    {
        const char *name;
        int code;
    } codes[] = {
        {"confirmed", kExitConfirmed},
        {"version", kExitConfirmed}, // --read-version: the version was read
        {"unconfirmed", kExitUnconfirmed},
        {"init_unanswered", kExitInitUnanswered},
        {"stalled", kExitStalled},
        {"link_lost", kExitLinkLost},
        {"open_failed", kExitCannotOpen},
        {"no_version", kExitNoVersion},
        {"image_refused", kExitImageRefused},
        {"refused", kExitRefused},
        {"verified", kExitConfirmed},
        {"wrong_version", kExitWrongVersion},
        {"no_version_after", kExitNoVersionAfter},
    };
    for (const auto &entry : codes) {
        if (outcome == QLatin1String(entry.name)) {
            return entry.code;
        }
    }
    return kExitInterrupted; // interrupted, closed, restarted
}

QString outcomeAdvice(const QString &outcome, quint32 packet, int stallTimeoutS, int returnCode)
{
    if (outcome == QLatin1String("refused")) {
        return QStringLiteral("the pack refused package %1 (return code %2); check the image, then run again")
            .arg(packet)
            .arg(Codec::returnCodeText(returnCode));
    }
    if (outcome == QLatin1String("stalled")) {
        return stalledText(packet, stallTimeoutS);
    }
    if (outcome == QLatin1String("link_lost")) {
        return portLostText();
    }
    if (outcome == QLatin1String("init_unanswered")) {
        return QStringLiteral(
            "the pack did not answer the start of the download; check the cable and the baud "
            "rate, then run again");
    }
    if (outcome == QLatin1String("unconfirmed")) {
        return QStringLiteral(
            "the pack did not confirm the end of the download; restart the pack and read its "
            "version, download again if it is not the new one");
    }
    if (outcome == QLatin1String("confirmed")) {
        return QString();
    }
    return QStringLiteral("the pack holds a partial image; flash it again");
}

QString imageProblemText(FirmwareImage::LoadVerdict verdict, const QString &path)
{
    switch (verdict) {
    case FirmwareImage::LoadVerdict::Loaded:
        return QString();
    case FirmwareImage::LoadVerdict::TooShort:
        if (!QFileInfo::exists(path)) {
            return QStringLiteral("%1: not found").arg(path);
        }
        return QStringLiteral("the file is too short");
    case FirmwareImage::LoadVerdict::TooLarge:
        return QStringLiteral("the file is too large");
    case FirmwareImage::LoadVerdict::Unreadable:
        break;
    }
    return QFileInfo::exists(path) ? QStringLiteral("the file cannot be read")
                                   : QStringLiteral("%1: not found").arg(path);
}

QString summaryTable(const QList<PortResult> &results)
{
    QList<QStringList> rows{{QStringLiteral("PORT"), QStringLiteral("VERSION"), QStringLiteral("OUTCOME"),
                             QStringLiteral("SECONDS")}};
    for (const PortResult &r : results) {
        const Download::Record &d = r.record;
        const QString version =
            d.packVersion.isEmpty() ? QStringLiteral("-") : printableVersion(d.packVersion);
        rows.append({d.port, r.unverified ? QStringLiteral("- (unverified)") : version, d.outcome,
                     QString::number(Download::seconds(d), 'f', 1)});
    }
    return alignedTable(rows, 3);
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
