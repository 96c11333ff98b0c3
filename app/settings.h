// The settings file config.ini, group connectInfo, keys "language" and "version". Each access opens
// the file, reads or writes one key and closes it again; a file that cannot be written is not an
// error (the value simply is not kept). The download record downloads.jsonl lies beside it.
#pragma once

#include "datafolder.h"

#include <QString>

namespace Settings {

uint language(); // 0 when absent
void setLanguage(int index);
QString version();                       // empty when absent
void setVersion(const QString &version); // stores the first 12 characters

} // namespace Settings
