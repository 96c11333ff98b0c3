// Trace categories of the window. All traces are debug messages, off unless enabled, e.g.
//   QT_LOGGING_RULES="quorvane.*.debug=true"
// (lcProtocol, for the codec, is declared in protocol/codec.h.)
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcSerial)
Q_DECLARE_LOGGING_CATEGORY(lcUpgrade)
