// The settings file config.ini, group connectInfo, keys "language", "version" and "retries". Each access
// opens the file, reads or writes one key and closes it again; a file that cannot be written is not an error
// (the value simply is not kept). The download record downloads.jsonl lies beside it.
#pragma once

#include "datafolder.h"

#include <QString>

namespace Settings {

uint language(); // 0 English, 1 Chinese; 0 when absent or any other value
void setLanguage(int index);
QString version();                       // empty when absent
void setVersion(const QString &version); // stores the first 12 characters
// Re-sends of a data packet on its stall deadline (0 when absent or not a number; at most
// kMaxPacketRetries). Only for packs that store a packet at the position its number gives.
int retries();
// Any other key of the group, for a program that shares config.ini (the station's folder, baud,
// ports): empty when absent.
QString text(const char *key);
void setText(const char *key, const QString &value);

} // namespace Settings
