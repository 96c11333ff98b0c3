// Checks one step of the codec's receive scan against the plain model and against the properties
// every step must have. Shared by the stress test and the fuzz target.
#pragma once

#include "codec.h"
#include "constants.h"
#include "reference_scan.h"

#include <QByteArray>
#include <QString>

namespace ScanChecks {

// Runs Codec::takeNextFrame on buffer (which it updates) and returns an empty string when all is
// well, otherwise what went wrong. *took and *info report the step's outcome.
inline QString checkedTake(QByteArray &buffer, bool *took, QByteArray *info)
{
    const QByteArray before = Reference::asciiUpper(buffer);
    QByteArray modelBuffer = buffer;
    QByteArray modelInfo;
    const bool modelTook = Reference::takeNextFrame(modelBuffer, &modelInfo);

    info->clear();
    *took = Codec::takeNextFrame(buffer, info);

    if (*took != modelTook)
        return QStringLiteral("accepted %1, the model %2").arg(*took).arg(modelTook);
    if (buffer != modelBuffer)
        return QStringLiteral("buffer left differs from the model's");
    if (!before.endsWith(buffer))
        return QStringLiteral("buffer changed other than by losing its front");
    if (!*took)
        return buffer == before ? QString() : QStringLiteral("buffer changed without an accepted frame");

    if (*info != modelInfo)
        return QStringLiteral("INFO differs from the model's");
    if (info->size() % 2 != 0 || !Reference::isHexText(*info))
        return QStringLiteral("INFO is not even-length hexadecimal text");
    const QByteArray consumed = before.left(before.size() - buffer.size());
    const int frameChars = Quorvane::hexChars(Quorvane::kFrameOverheadBytes) + info->size();
    const QByteArray frame = consumed.right(frameChars);
    QByteArray frameInfo;
    if (frame.size() != frameChars || !Reference::frameTextIsValid(frame, &frameInfo) || frameInfo != *info)
        return QStringLiteral("the consumed text does not end with a valid frame carrying that INFO");
    return QString();
}

// Runs the scan until it takes nothing more; returns the first problem found, if any.
inline QString checkedScan(QByteArray &buffer, QByteArrayList *infos)
{
    for (;;) {
        bool took = false;
        QByteArray info;
        const QString problem = checkedTake(buffer, &took, &info);
        if (!problem.isEmpty() || !took)
            return problem;
        infos->append(info);
    }
}

} // namespace ScanChecks
