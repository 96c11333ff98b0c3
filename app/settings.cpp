#include "settings.h"

#include "logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>

namespace {

const char kGroup[] = "connectInfo";
const char kLanguageKey[] = "language";
const char kVersionKey[] = "version";
constexpr int kSavedVersionChars = 12; // characters of the version text kept in the file

// Each access opens the file on its own and closes it again when the object goes; writing
// happens then. Failures (a directory that cannot be written) only leave the value unsaved.
QVariant read(const char *key, const QVariant &absent)
{
    QSettings settings(Settings::configPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    QVariant value = settings.value(QLatin1String(key), absent);
    settings.endGroup();
    return value;
}

// Writes only a value that differs from the one in the file: QSettings rewrites the whole file on
// every change, which for a large file stalls the window.
void write(const char *key, const QVariant &value)
{
    QSettings settings(Settings::configPath(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    const QVariant stored = settings.value(QLatin1String(key));
    if (!stored.isValid() || stored.toString() != value.toString()) {
        settings.setValue(QLatin1String(key), value);
    }
    settings.endGroup();
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
        if (!QDir().mkpath(userDir) || !QFile::copy(from, to)) {
            qCWarning(lcApp) << "the settings" << from << "could not be copied to" << to;
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
    // QSettings creates the fallback folder when it first writes the file.
    return chooseConfigDirectory(QCoreApplication::applicationDirPath(),
                                 QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString configPath()
{
    return configDirectory() + QStringLiteral("/config.ini");
}

uint language()
{
    return read(kLanguageKey, 0).toUInt();
}

void setLanguage(int index)
{
    write(kLanguageKey, index);
}

QString version()
{
    return read(kVersionKey, QString()).toString();
}

void setVersion(const QString &version)
{
    write(kVersionKey, version.left(kSavedVersionChars));
}

} // namespace Settings
