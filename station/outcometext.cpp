#include "outcometext.h"

#include <QCoreApplication>

namespace Station {

QString outcomeLine(Download::Outcome outcome)
{
    return QCoreApplication::translate("Outcome", Download::outcomeText(outcome).toLatin1().constData());
}

} // namespace Station
