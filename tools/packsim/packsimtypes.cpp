#include "packsimtypes.h"

#include <QStringList>

namespace PackSim {

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Version:
        return QStringLiteral("version");
    case Kind::Init:
        return QStringLiteral("init");
    case Kind::Data:
        return QStringLiteral("data");
    case Kind::End:
        return QStringLiteral("end");
    case Kind::Test:
        return QStringLiteral("test");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

bool kindFromName(const QString &name, Kind *kind)
{
    for (Kind candidate : {Kind::Version, Kind::Init, Kind::Data, Kind::End, Kind::Test}) {
        if (name.compare(kindName(candidate), Qt::CaseInsensitive) == 0) {
            *kind = candidate;
            return true;
        }
    }
    return false;
}

bool parseFaultTarget(const QString &text, bool allowAllKinds, FaultTarget *target, QString *error)
{
    const QString kinds = QStringLiteral("version, init, data, end, test");
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    FaultTarget result;
    if (parts.size() > 2 || parts.first().isEmpty()) {
        *error =
            QStringLiteral("\"%1\": expected KIND, KIND:all or KIND:N with KIND one of %2").arg(text, kinds);
        return false;
    }
    if (parts.first().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0 && parts.size() == 1) {
        if (!allowAllKinds) {
            *error = QStringLiteral("\"%1\": name a kind (%2)").arg(text, kinds);
            return false;
        }
        result.allKinds = true;
        result.everyOrdinal = true;
        *target = result;
        return true;
    }
    if (!kindFromName(parts.first(), &result.kind)) {
        *error =
            QStringLiteral("\"%1\": unknown command kind \"%2\" (one of %3)").arg(text, parts.first(), kinds);
        return false;
    }
    if (parts.size() == 1 || parts.at(1).compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
        result.everyOrdinal = true;
    } else {
        bool ok = false;
        result.ordinal = parts.at(1).toInt(&ok);
        if (!ok || result.ordinal < 1) {
            *error = QStringLiteral("\"%1\": \"%2\" is not \"all\" or a count from 1").arg(text, parts.at(1));
            return false;
        }
    }
    *target = result;
    return true;
}

} // namespace PackSim
