#include "settings.h"

#include "constants.h"

#include <QSettings>

namespace {

const char kGroup[] = "connectInfo";
const char kLanguageKey[] = "language";
const char kVersionKey[] = "version";
const char kRetriesKey[] = "retries";
constexpr int kSavedVersionChars = 12; // characters of the version text kept in the file
constexpr uint kChinese = 1;           // the language list's last index (0 is English)

// Each access opens the file on its own and closes it again when the object goes; writing
// happens then. Failures (a directory that cannot be written) only leave the value unsaved.
QVariant read(const char *key, const QVariant &absent)
{
    const QString path = Settings::configPath();
    if (!Settings::settingsFileUsable(path)) {
        return absent;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    QVariant value = settings.value(QLatin1String(key), absent);
    settings.endGroup();
    return value;
}

// Writes only a value that differs from the one in the file: QSettings rewrites the whole file on
// every change, which for a large file stalls the window.
void write(const char *key, const QVariant &value)
{
    const QString path = Settings::configPath();
    if (!Settings::settingsFileUsable(path)) {
        return;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kGroup));
    const QVariant stored = settings.value(QLatin1String(key));
    if (!stored.isValid() || stored.toString() != value.toString()) {
        settings.setValue(QLatin1String(key), value);
    }
    settings.endGroup();
}

} // namespace

namespace Settings {

uint language()
{
    const uint index = read(kLanguageKey, 0).toUInt();
    return index <= kChinese ? index : 0; // an index the list does not have is English
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

int retries()
{
    bool ok = false;
    const int value = read(kRetriesKey, 0).toInt(&ok);
    return ok ? qBound(0, value, Quorvane::kMaxPacketRetries) : 0;
}

QString text(const char *key)
{
    return read(key, QString()).toString();
}

void setText(const char *key, const QString &value)
{
    write(key, value);
}

} // namespace Settings
