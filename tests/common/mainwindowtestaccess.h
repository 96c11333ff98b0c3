// Lets tests read the window's state that a user cannot see directly. Everything a user can see is
// checked through the widgets themselves, found by object name.
#pragma once

#include "mainwindow.h"

#include <QSerialPort>
#include <QTimer>

class MainWindowTestAccess
{
public:
    static E_FUNC &func(MainWindow &w) { return w.m_func; }
    static QByteArray &recv(MainWindow &w) { return w.m_Recv; }
    static QString &version(MainWindow &w) { return w.m_strVersion; }
    static QSerialPort *port(MainWindow &w) { return w.m_SerialPort; }
    static bool portOpen(const MainWindow &w) { return w.m_PortOpen; }
    static const std::array<char, 324> &testRecord(const MainWindow &w) { return w.m_testRecord; }
    static QByteArray &image(MainWindow &w) { return w.m_FWContext; }
    static QByteArray &imageHead(MainWindow &w) { return w.m_FWContextHead8; }
    static QString &lastDir(MainWindow &w) { return w.m_strLastDir; }
    static quint32 &packetCount(MainWindow &w) { return w.g_uiUGDataCount; }
    static quint32 &packetId(MainWindow &w) { return w.g_usUGPackId; }
    static quint16 packLen(const MainWindow &w) { return w.g_usUGPackLen; }
    static int initCount(const MainWindow &w) { return w.m_iInitCount; }
    static int endCount(const MainWindow &w) { return w.m_iEndCount; }
    static QTimer *initTimer(MainWindow &w) { return w.m_InitTimer; }
    static QTimer *endTimer(MainWindow &w) { return w.m_EndTimer; }
    static int frameCounters(const MainWindow &w) { return w.m_cntcnt + w.m_iPacketCount; }
    static const QByteArray &markers(const MainWindow &w, int which)
    {
        return which == 0 ? w.m_arrSOI : which == 1 ? w.m_arrUpgradeSOI : w.m_arrEOI;
    }
    static bool languageReady(const MainWindow &w) { return w.m_bLanguageReady; }
    static void setLED(MainWindow &w, QLabel *label, int color, int size) { w.setLED(label, color, size); }
    static void padImage(MainWindow &w) { w.padByteArrayToMultipleOf1024(); }
    static QByteArray endFrame(MainWindow &w, quint16 count) { return w.buildUpgradeEndFrame(count); }
    static void firmwareUpgrad(MainWindow &w, E_FUNC f) { w.firmwareUpgrad(f, QByteArray()); }
    static const Download::State &download(const MainWindow &w) { return w.m_download; }
    // As if Start had been accepted and its handshake were under way (without its timer).
    static void enterHandshake(MainWindow &w)
    {
        w.m_download.phase = Download::Phase::Handshake;
        w.m_download.running = true;
    }
};
