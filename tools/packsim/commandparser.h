// Cuts the updater's byte stream into frames. Knows the frame layout only; what a frame means is the
// simulator's business.
#pragma once

#include "packsimtypes.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace PackSim {

class CommandParser
{
public:
    enum class Step
    {
        NeedMore, // no complete candidate in the buffer yet
        Frame,    // *frame holds a well-formed frame (LENGTH check, 0x0D, CHKSUM all hold)
        Rejected, // a candidate failed; *problem says why, *frame holds it when its extent was known
    };

    // Bytes that arrived at nowMs (any clock, only differences matter to the caller).
    void append(const QByteArray &bytes, qint64 nowMs);
    // Takes the next frame or rejected candidate off the front of the buffer. Bytes before a start
    // marker, and start markers not followed by a plausible header, are discarded silently and
    // counted in discardedBytes().
    Step next(ParsedFrame *frame, QString *problem);

    void clear();
    int bufferedBytes() const { return m_buffer.size(); }
    qint64 discardedBytes() const { return m_discarded; }

    // Kind of a frame from its start marker and CID2 digits.
    static Kind classify(const QByteArray &frame);

private:
    void drop(int count);
    bool headerPlausible() const;

    QByteArray m_buffer;
    QList<QPair<int, qint64>> m_chunks; // sizes and arrival times of the buffered bytes, in order
    qint64 m_discarded = 0;
};

} // namespace PackSim
