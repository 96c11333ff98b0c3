// The simulator's end of the serial line: the master side of a pseudo-terminal pair, or a real
// serial device. Reads are event driven (QSocketNotifier); writes never block: what the kernel does
// not take at once waits in a queue until the descriptor is writable again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace PackSim {

class SimLine : public QObject
{
    Q_OBJECT
public:
    explicit SimLine(QObject *parent = nullptr);
    ~SimLine() override;

    // Creates a pseudo-terminal pair with both ends in raw mode. The slave stays open here as well,
    // so the master never reads EIO while the updater has not opened (or has closed) the slave.
    bool openPty();
    // Opens a serial device raw, 8N1, no flow control, at one of the standard baud rates.
    bool openDevice(const QString &path, qint32 baud);
    // Closes every descriptor; pending writes are dropped.
    void close();

    bool isOpen() const { return m_fd >= 0; }
    // The path the updater opens: the pty slave's, or the device's.
    QString peerPath() const { return m_peerPath; }
    QString errorString() const { return m_error; }

    // Queues bytes for writing and writes what the descriptor takes now.
    void write(const QByteArray &bytes);
    qint64 pendingWriteBytes() const { return m_writeQueue.size(); }

signals:
    void dataReceived(const QByteArray &bytes);
    // A read or write failed for good (e.g. the device vanished); the line is closed.
    void failed(const QString &message);

private:
    bool adoptDescriptor(int fd);
    void onReadable();
    void onWritable();
    void flushQueue();
    void fail(const QString &message);

    int m_fd = -1;
    int m_slaveFd = -1;
    QString m_peerPath;
    QString m_error;
    QByteArray m_writeQueue;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
};

} // namespace PackSim
