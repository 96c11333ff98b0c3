// Small types shared by the pack simulator's pieces: the kinds of command the pack understands and
// the selection of "which commands of a kind" a fault applies to.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>

namespace PackSim {
Q_NAMESPACE

// What a received frame asks for. Version, Init, Data and End are 0xBC frames told apart by their
// CID2 digits (C1, 32, 33, 34); Test is the 0x7E frame with CID2 46.
enum class Kind
{
    Version,
    Init,
    Data,
    End,
    Test,
    Unknown,
};
Q_ENUM_NS(Kind)

constexpr int kKindCount = 6;

inline int kindIndex(Kind kind)
{
    return static_cast<int>(kind);
}

// "version", "init", "data", "end", "test", "unknown".
QString kindName(Kind kind);
// Inverse of kindName for the five command kinds (case-insensitive); false for anything else.
bool kindFromName(const QString &name, Kind *kind);

// A set of ordinals (1 = the first command of its kind since the simulator started), or all.
class Selector
{
public:
    bool isEmpty() const { return !m_all && m_ordinals.isEmpty(); }
    bool matches(int ordinal) const { return m_all || m_ordinals.contains(ordinal); }
    void addOrdinal(int ordinal) { m_ordinals.insert(ordinal); }
    void setAll(bool all) { m_all = all; }
    void clear()
    {
        m_all = false;
        m_ordinals.clear();
    }

private:
    bool m_all = false;
    QSet<int> m_ordinals;
};

// Parses a fault target "KIND", "KIND:all", "KIND:N" (N >= 1) or, when allowAllKinds is set, "all".
// "KIND" alone means every command of that kind. On success sets *kind (or *allKinds) and adds to
// the selector; on failure returns false and sets *error.
struct FaultTarget
{
    bool allKinds = false;
    Kind kind = Kind::Unknown;
    bool everyOrdinal = false;
    int ordinal = 0;
};
bool parseFaultTarget(const QString &text, bool allowAllKinds, FaultTarget *target, QString *error);

// One frame cut from the updater's byte stream.
struct ParsedFrame
{
    QByteArray bytes; // the whole frame as received, SOI to EOI
    Kind kind = Kind::Unknown;
    quint16 word = 0;       // 0xBC frames: the two raw bytes of the word field, high first
    QByteArray info;        // INFO as on the wire
    qint64 firstByteMs = 0; // when its first byte arrived (simulator clock)
};

} // namespace PackSim
