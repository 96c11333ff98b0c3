#include "outcome.h"

#include "codec.h"

#include <iterator>

namespace Download {

namespace {

struct Row
{
    Outcome outcome;
    const char *name;
    int exitCode;
    const char *text;
};

// Every outcome once, in the enum's order. The texts are marked for the windows' translations
// (context "Outcome"); the flasher prints them as they stand.
constexpr Row kOutcomes[] = {
    {Outcome::Confirmed, "confirmed", kExitConfirmed, QT_TRANSLATE_NOOP("Outcome", "confirmed")},
    {Outcome::Unconfirmed, "unconfirmed", kExitUnconfirmed,
     QT_TRANSLATE_NOOP("Outcome", "the end was not confirmed")},
    {Outcome::InitUnanswered, "init_unanswered", kExitInitUnanswered,
     QT_TRANSLATE_NOOP("Outcome", "no answer to the start")},
    {Outcome::Stalled, "stalled", kExitStalled, QT_TRANSLATE_NOOP("Outcome", "no answer to a package")},
    {Outcome::LinkLost, "link_lost", kExitLinkLost, QT_TRANSLATE_NOOP("Outcome", "the port went away")},
    {Outcome::Restarted, "restarted", kExitInterrupted, QT_TRANSLATE_NOOP("Outcome", "started again")},
    {Outcome::Interrupted, "interrupted", kExitInterrupted, QT_TRANSLATE_NOOP("Outcome", "interrupted")},
    {Outcome::Refused, "refused", kExitRefused, QT_TRANSLATE_NOOP("Outcome", "the pack refused a package")},
    {Outcome::VersionRead, "version", kExitConfirmed, QT_TRANSLATE_NOOP("Outcome", "version read")},
    {Outcome::OpenFailed, "open_failed", kExitCannotOpen,
     QT_TRANSLATE_NOOP("Outcome", "the port cannot be opened")},
    {Outcome::NoVersion, "no_version", kExitNoVersion, QT_TRANSLATE_NOOP("Outcome", "no version reported")},
    {Outcome::ImageRefused, "image_refused", kExitImageRefused,
     QT_TRANSLATE_NOOP("Outcome", "the image does not fit the pack")},
    {Outcome::NotFlashed, "not_flashed", kExitImageRefused,
     QT_TRANSLATE_NOOP("Outcome", "no firmware for the version")},
    {Outcome::Verified, "verified", kExitConfirmed, QT_TRANSLATE_NOOP("Outcome", "verified")},
    {Outcome::WrongVersion, "wrong_version", kExitWrongVersion,
     QT_TRANSLATE_NOOP("Outcome", "another version after the update")},
    {Outcome::NoVersionAfter, "no_version_after", kExitNoVersionAfter,
     QT_TRANSLATE_NOOP("Outcome", "no version after the update")},
};
static_assert(std::size(kOutcomes) == static_cast<size_t>(Outcome::NoVersionAfter) + 1,
              "every outcome has its row");

const Row &row(Outcome outcome)
{
    return kOutcomes[static_cast<int>(outcome)];
}

} // namespace

QString outcomeName(Outcome outcome)
{
    return QString::fromLatin1(row(outcome).name);
}

bool outcomeFromName(const QString &name, Outcome *outcome)
{
    for (const Row &r : kOutcomes) {
        if (name == QLatin1String(r.name)) {
            *outcome = r.outcome;
            return true;
        }
    }
    return false;
}

int exitCode(Outcome outcome)
{
    return row(outcome).exitCode;
}

QString outcomeText(Outcome outcome)
{
    return QString::fromLatin1(row(outcome).text);
}

bool passed(Outcome outcome)
{
    return outcome == Outcome::Confirmed || outcome == Outcome::Verified;
}

bool flashed(Outcome outcome)
{
    switch (outcome) {
    case Outcome::VersionRead:
    case Outcome::OpenFailed:
    case Outcome::NoVersion:
    case Outcome::ImageRefused:
    case Outcome::NotFlashed:
        return false;
    default:
        return true;
    }
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

QString outcomeAdvice(Outcome outcome, quint32 packet, int stallTimeoutS, int returnCode)
{
    switch (outcome) {
    case Outcome::Refused:
        return QStringLiteral("the pack refused package %1 (return code %2); check the image, then run again")
            .arg(packet)
            .arg(Codec::returnCodeText(returnCode));
    case Outcome::Stalled:
        return stalledText(packet, stallTimeoutS);
    case Outcome::LinkLost:
        return portLostText();
    case Outcome::InitUnanswered:
        return QStringLiteral(
            "the pack did not answer the start of the download; check the cable and the baud "
            "rate, then run again");
    case Outcome::Unconfirmed:
        return QStringLiteral(
            "the pack did not confirm the end of the download; restart the pack and read its "
            "version, download again if it is not the new one");
    case Outcome::Restarted:
    case Outcome::Interrupted:
        return QStringLiteral("the pack holds a partial image; flash it again");
    case Outcome::Confirmed:
    case Outcome::Verified:
    case Outcome::VersionRead:
        return QString();
    default:
        return outcomeText(outcome);
    }
}

} // namespace Download
