// Lets tests read the window's state that a user cannot see directly. Everything a user can see is
// checked through the widgets themselves, found by object name; the download itself through the
// window's exchange, its public state and its signals.
#pragma once

#include "exchange.h"
#include "mainwindow.h"

#include <QSerialPort>

class MainWindowTestAccess
{
public:
    static Download::Exchange &exchange(MainWindow &w) { return *w.m_exchange; }
    static QString &version(MainWindow &w) { return w.m_strVersion; }
    static QSerialPort *port(MainWindow &w) { return w.m_SerialPort; }
    static bool portOpen(const MainWindow &w) { return w.m_PortOpen; }
    static const std::array<char, 324> &testRecord(const MainWindow &w) { return w.m_testRecord; }
    static QByteArray &image(MainWindow &w) { return w.m_FWContext; }
    static QByteArray &imageHead(MainWindow &w) { return w.m_FWContextHead8; }
    static QString &lastDir(MainWindow &w) { return w.m_strLastDir; }
    static quint32 &packetCount(MainWindow &w) { return w.g_uiUGDataCount; }
    static quint16 packLen(const MainWindow &w) { return w.g_usUGPackLen; }
    static bool languageReady(const MainWindow &w) { return w.m_bLanguageReady; }
    static void setLED(MainWindow &w, QLabel *label, int color, int size) { w.setLED(label, color, size); }
};
