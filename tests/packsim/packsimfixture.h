// The fixture of the simulator's pty tests: a fresh simulator on a pseudo-terminal for every test
// function, and the updater's side of the line (PackSimPeer) open on its slave end. A test class
// derives from it and uses m_pack and m_peer.
#pragma once

#include "packsimpeer.h"
#include "packsimulator.h"

#include <QObject>
#include <QSerialPort>
#include <QtTest>

class PackSimFixture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }

    void init()
    {
        m_pack = new PackSim::PackSimulator;
        m_pack->setReportViolationsOnStderr(false);
        QVERIFY2(m_pack->openPty(), qPrintable(m_pack->errorString()));
        m_peer = new PackSimPeer;
        QVERIFY2(m_peer->open(m_pack->slavePath()), qPrintable(m_peer->port.errorString()));
    }

    void cleanup()
    {
        delete m_peer;
        m_peer = nullptr;
        delete m_pack;
        m_pack = nullptr;
    }

protected:
    // The port reports a vanished line again and again until it is closed: close it at the first
    // error, as the window must, and collect the errors in *errors.
    void closePeerOnError(QList<QSerialPort::SerialPortError> *errors)
    {
        connect(&m_peer->port, &QSerialPort::errorOccurred, this,
                [this, errors](QSerialPort::SerialPortError error) {
                    if (error == QSerialPort::NoError)
                        return;
                    errors->append(error);
                    m_peer->port.close();
                });
    }

    PackSim::PackSimulator *m_pack = nullptr;
    PackSimPeer *m_peer = nullptr;
};
