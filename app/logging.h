// Trace categories. All traces are debug messages, off unless enabled, e.g.
//   QT_LOGGING_RULES="quorvane.*.debug=true"
// The window's own is lcApp; lcSerial (the link) and lcUpgrade (the download) belong to the
// widget-free libraries, lcProtocol to the codec.
#pragma once

#include "exchange.h"
#include "link.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
