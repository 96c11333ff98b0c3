// A command line given as one string of blank-separated words, parsed as quorvane-flash parses its
// own (the program's name first).
#pragma once

#include "options.h"

#include <QStringList>

inline bool parseLine(const QString &arguments, Flash::Options *options, QString *error)
{
    return Flash::parseOptions(QStringList{QStringLiteral("quorvane-flash")} +
                                   arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts),
                               options, error);
}
