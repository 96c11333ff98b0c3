// Display scaling: the window follows the system's scale (Windows' 125 %, 150 %, ...), laid out in
// device-independent pixels, at the exact factor rather than a rounded one. Qt 6 does both by
// default; Qt 5 needs them set before the QApplication is made.
#pragma once

#include <QGuiApplication>

namespace HighDpi {

inline void enable()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

} // namespace HighDpi
