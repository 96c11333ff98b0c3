// Reaching the window's widgets and captions by object name, and the settings file beside the test
// program, for the tests of the window's shell.
#pragma once

#include "mainwindow.h"
#include "settings.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>

namespace WindowLookup {

// config.ini where the window keeps it: the test program's own directory (tst_configdir checks
// that this is the folder chosen), the one place every test takes the path from.
inline QString configPath()
{
    return Settings::configPath();
}

template <typename T> T *child(MainWindow &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

// The caption a widget shows for one property; the window's own title for "MainWindow".
inline QString caption(MainWindow &w, const QString &object, const QString &property)
{
    if (object == QLatin1String("MainWindow")) {
        return w.windowTitle();
    }
    QObject *o = w.findChild<QObject *>(object);
    if (o == nullptr) {
        return QStringLiteral("<missing %1>").arg(object);
    }
    return o->property(property.toLatin1().constData()).toString();
}

} // namespace WindowLookup
