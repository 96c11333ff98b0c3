// The program's data folder: where config.ini and the download record downloads.jsonl live, for
// the window and the command-line flasher alike.
#pragma once

#include <QString>

namespace Settings {

QString configDirectory(); // where config.ini (and the download record beside it) lives

// A folder that programs are installed to, not one a user unpacked them into: /usr/bin,
// /usr/sbin, /bin, /sbin, /usr/local/bin, /usr/local/sbin, /opt/<...>/bin, and Windows'
// "Program Files" (or "Program Files (x86)") and the folders below it. Decided from the path alone.
bool isInstalledLocation(const QString &programDir);

// What the choice of the folder depends on.
struct ConfigFacts
{
    bool installed = false;             // isInstalledLocation() of the program's folder
    bool iniBesideProgram = false;      // a config.ini in the program's folder
    bool iniInUserFolder = false;       // a config.ini in the user's folder
    bool programFolderWritable = false; // a file can really be created in the program's folder
};
enum class ConfigPlace
{
    BesideProgram,
    UserFolder,
    // The user's folder, which first gets a copy of the config.ini an earlier version left
    // beside the installed program: read once, as the starting values, never written there.
    UserFolderFromProgramsIni,
};
// The rule: an installed program never keeps its settings beside itself, whoever runs it (root
// too); any other keeps them beside itself when config.ini is there or the folder can be written,
// otherwise in the user's folder.
ConfigPlace decideConfigPlace(const ConfigFacts &facts);

// The rule applied to real folders: fallbackDir is the user's application-data folder. Returns
// the folder, through applyConfigPlace().
QString chooseConfigDirectory(const QString &programDir, const QString &fallbackDir);
// The folder of place; for UserFolderFromProgramsIni, programDir's config.ini is first copied to
// userDir (made when missing). A copy that fails leaves the defaults, with a trace.
QString applyConfigPlace(ConfigPlace place, const QString &programDir, const QString &userDir);
QString configPath(); // configDirectory() + "/config.ini"
// Whether the settings file at path may be opened: it is absent (the defaults, created on the
// first write) or a regular file. Anything else (a FIFO would block the opener until some other
// program writes to it; a device, a folder) is left alone, with a trace, and the defaults hold.
bool settingsFileUsable(const QString &path);
QString recordPath(); // configDirectory() + "/downloads.jsonl", the record of every download

} // namespace Settings
