#include "outcometext.h"

#include <QCoreApplication>

namespace Station {

namespace {

// The engine's short lines (outcome.cpp), listed for the translation source; a line the engine
// changes and the list lacks shows in English until both agree again.
const char *const kOutcomeLines[] = {
    QT_TRANSLATE_NOOP("Outcome", "confirmed"),
    QT_TRANSLATE_NOOP("Outcome", "the end was not confirmed"),
    QT_TRANSLATE_NOOP("Outcome", "no answer to the start"),
    QT_TRANSLATE_NOOP("Outcome", "no answer to a package"),
    QT_TRANSLATE_NOOP("Outcome", "the port went away"),
    QT_TRANSLATE_NOOP("Outcome", "started again"),
    QT_TRANSLATE_NOOP("Outcome", "interrupted"),
    QT_TRANSLATE_NOOP("Outcome", "the pack refused a package"),
    QT_TRANSLATE_NOOP("Outcome", "version read"),
    QT_TRANSLATE_NOOP("Outcome", "the port cannot be opened"),
    QT_TRANSLATE_NOOP("Outcome", "no version reported"),
    QT_TRANSLATE_NOOP("Outcome", "the image does not fit the pack"),
    QT_TRANSLATE_NOOP("Outcome", "no firmware for the version"),
    QT_TRANSLATE_NOOP("Outcome", "verified"),
    QT_TRANSLATE_NOOP("Outcome", "another version after the update"),
    QT_TRANSLATE_NOOP("Outcome", "no version after the update"),
};

} // namespace

QString outcomeLine(Download::Outcome outcome)
{
    Q_UNUSED(kOutcomeLines)
    return QCoreApplication::translate("Outcome", Download::outcomeText(outcome).toUtf8().constData());
}

} // namespace Station
