// The settings file config.ini beside the executable, group connectInfo, keys "language" and
// "version". Each access opens the file, reads or writes one key and closes it again; a file that
// cannot be written is not an error (the value simply is not kept).
#pragma once

#include <QString>

namespace Settings {

QString configDirectory(); // where config.ini (and the download record beside it) lives
// The rule behind configDirectory(): the program's folder when config.ini is there or the folder
// can be written (a file can really be created in it), otherwise fallbackDir (the user's
// application-data folder: Windows' C:\Program Files, Debian's /usr/bin are not writable).
QString chooseConfigDirectory(const QString &programDir, const QString &fallbackDir);
QString configPath(); // configDirectory() + "/config.ini"
uint language();      // 0 when absent
void setLanguage(int index);
QString version();                       // empty when absent
void setVersion(const QString &version); // stores the first 12 characters

} // namespace Settings
