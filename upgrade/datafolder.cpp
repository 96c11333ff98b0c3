#include "datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>

Q_LOGGING_CATEGORY(lcDataFolder, "quorvane.datafolder", QtInfoMsg)

namespace {

// The user's own folder for the updater's files, the same for every program of it (the window is
// "Quorvane", the flasher "quorvane-flash"): ~/.config/Quorvane, %LOCALAPPDATA%\Quorvane.
QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvane");
}

} // namespace

namespace Settings {

bool isInstalledLocation(const QString &programDir)
{
    // Backslashes too on any system: the rule is the same whichever system asks.
    const QString path = QDir::cleanPath(QString(programDir).replace(QLatin1Char('\\'), QLatin1Char('/')));
    static const QStringList systemBins{QStringLiteral("/usr/bin"),       QStringLiteral("/usr/sbin"),
                                        QStringLiteral("/bin"),           QStringLiteral("/sbin"),
                                        QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/local/sbin")};
    if (systemBins.contains(path)) {
        return true;
    }
    if (path.startsWith(QLatin1String("/opt/")) && path.endsWith(QLatin1String("/bin"))) {
        return true;
    }
    // Windows: the drive's Program Files folder and everything below it.
    const QStringList parts = path.split(QLatin1Char('/'));
    return parts.size() > 1 && std::any_of(parts.cbegin() + 1, parts.cend(), [](const QString &part) {
               return part.compare(QLatin1String("Program Files"), Qt::CaseInsensitive) == 0 ||
                      part.compare(QLatin1String("Program Files (x86)"), Qt::CaseInsensitive) == 0;
           });
}

ConfigPlace decideConfigPlace(const ConfigFacts &facts)
{
    if (facts.installed) {
        return facts.iniBesideProgram && !facts.iniInUserFolder ? ConfigPlace::UserFolderFromProgramsIni
                                                                : ConfigPlace::UserFolder;
    }
    return facts.iniBesideProgram || facts.programFolderWritable ? ConfigPlace::BesideProgram
                                                                 : ConfigPlace::UserFolder;
}

QString chooseConfigDirectory(const QString &programDir, const QString &fallbackDir)
{
    ConfigFacts facts;
    facts.installed = isInstalledLocation(programDir);
    facts.iniBesideProgram = QFileInfo::exists(QDir(programDir).filePath(QStringLiteral("config.ini")));
    facts.iniInUserFolder = QFileInfo::exists(QDir(fallbackDir).filePath(QStringLiteral("config.ini")));
    if (!facts.installed && !facts.iniBesideProgram) {
        // Permission bits and attributes do not tell (Windows' folder rights, a read-only mount):
        // try to create a file there; it is removed again at once.
        QTemporaryFile probe(QDir(programDir).filePath(QStringLiteral(".config-probe-XXXXXX")));
        facts.programFolderWritable = probe.open();
    }
    return applyConfigPlace(decideConfigPlace(facts), programDir, fallbackDir);
}

QString applyConfigPlace(ConfigPlace place, const QString &programDir, const QString &userDir)
{
    switch (place) {
    case ConfigPlace::BesideProgram:
        return programDir;
    case ConfigPlace::UserFolderFromProgramsIni: {
        const QString from = QDir(programDir).filePath(QStringLiteral("config.ini"));
        const QString to = QDir(userDir).filePath(QStringLiteral("config.ini"));
        if (!settingsFileUsable(from) || !QDir().mkpath(userDir) || !QFile::copy(from, to)) {
            qCWarning(lcDataFolder) << "the settings" << from << "could not be copied to" << to;
        }
        break;
    }
    case ConfigPlace::UserFolder:
        break;
    }
    return userDir;
}

QString configDirectory()
{
    // QSettings and the record create the user's folder when they first write into it.
    return chooseConfigDirectory(QCoreApplication::applicationDirPath(), userFolder());
}

QString configPath()
{
    return configDirectory() + QStringLiteral("/config.ini");
}

bool settingsFileUsable(const QString &path)
{
    const QFileInfo info(path); // follows a link to what it names
    if (!info.exists() || info.isFile()) {
        return true;
    }
    qCWarning(lcDataFolder) << "the settings" << path << "are not a regular file and are ignored";
    return false;
}

QString recordPath()
{
    return configDirectory() + QStringLiteral("/downloads.jsonl");
}

} // namespace Settings
