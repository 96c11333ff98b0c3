// The updater's side of the line in miniature, for the simulator's tests: a QSerialPort on the pty
// slave, the codec's receive scan over everything that arrives, and a stop-and-wait download that
// sends init, the data packets and the end command the way the window does.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>

class PackSimPeer : public QObject
{
    Q_OBJECT
public:
    explicit PackSimPeer(QObject *parent = nullptr);

    bool open(const QString &path);
    void write(const QByteArray &bytes);        // one write
    void writeChunked(const QByteArray &bytes); // 256-byte writes, as the window writes 0xBC frames
    void sendVersionQuery(int copies = 1);
    void sendInit();
    void sendData(quint16 packet, const QByteArray &payload);
    void sendEnd(quint16 count, const QByteArray &head);

    // Downloads fileBytes: init, then each packet after the previous answer, then the end command once.
    void startDownload(const QByteArray &fileBytes);

    QSerialPort port;
    QByteArray raw;             // every byte received
    int reads = 0;              // readyRead deliveries that brought bytes
    QByteArray scanBuffer;      // hex text, as the window keeps it
    QList<QByteArray> accepted; // INFO hex text of each frame the receive scan accepted

signals:
    void frameAccepted(const QByteArray &infoHex);
    void downloadFinished();

private:
    void onReadyRead();
    void advanceDownload(const QByteArray &infoHex);

    enum class Phase
    {
        Idle,
        Init,
        Data,
        End
    };
    Phase m_phase = Phase::Idle;
    QByteArray m_body;
    QByteArray m_head;
    int m_packet = 0;
    int m_packetCount = 0;
};
