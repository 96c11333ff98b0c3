#include "simline.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace PackSim {

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool makeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool baudConstant(qint32 baud, speed_t *speed)
{
    struct Rate
    {
        qint32 baud;
        speed_t speed;
    };
    static const Rate rates[] = {
        {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
        {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
        {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const Rate &rate : rates) {
        if (rate.baud == baud) {
            *speed = rate.speed;
            return true;
        }
    }
    return false;
}

} // namespace

SimLine::SimLine(QObject *parent) : QObject(parent) {}

SimLine::~SimLine()
{
    close();
}

bool SimLine::openPty()
{
    close();
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        m_error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(errnoText());
        return false;
    }
    // The slave's line discipline must not echo or translate before the updater sets it up itself.
    if (!makeRaw(slave) || !makeRaw(master)) {
        m_error = QStringLiteral("cannot put the pseudo-terminal in raw mode: %1").arg(errnoText());
        ::close(master);
        ::close(slave);
        return false;
    }
    // Neither end may leak into a program this process starts (the flasher under test): a master
    // held open there would keep the line alive after pullAdapter().
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_slaveFd = slave;
    m_peerPath = QString::fromLocal8Bit(name);
    return adoptDescriptor(master);
}

bool SimLine::openDevice(const QString &path, qint32 baud)
{
    close();
    speed_t speed = B0;
    if (!baudConstant(baud, &speed)) {
        m_error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open %1: %2").arg(path, errnoText());
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        m_error = QStringLiteral("%1 is not a serial device: %2").arg(path, errnoText());
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0) {
        m_error = QStringLiteral("cannot set %1 to %2 baud 8N1: %3").arg(path).arg(baud).arg(errnoText());
        ::close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    m_peerPath = path;
    return adoptDescriptor(fd);
}

bool SimLine::adoptDescriptor(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        m_error = QStringLiteral("cannot make the line non-blocking: %1").arg(errnoText());
        ::close(fd);
        close();
        return false;
    }
    m_fd = fd;
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimLine::onReadable);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimLine::onWritable);
    m_error.clear();
    return true;
}

void SimLine::close()
{
    // The notifiers may be the very senders whose signal is being handled: retire them later.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_fd = -1;
    m_slaveFd = -1;
    m_writeQueue.clear();
}

void SimLine::write(const QByteArray &bytes)
{
    if (m_fd < 0 || bytes.isEmpty())
        return;
    m_writeQueue.append(bytes);
    flushQueue();
}

void SimLine::flushQueue()
{
    while (m_fd >= 0 && !m_writeQueue.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_writeQueue.constData(), size_t(m_writeQueue.size()));
        if (n > 0) {
            m_writeQueue.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(QStringLiteral("write failed: %1").arg(errnoText()));
            return;
        }
        break; // the kernel's buffer is full: wait until writable
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_writeQueue.isEmpty());
}

void SimLine::onWritable()
{
    flushQueue();
}

void SimLine::onReadable()
{
    QByteArray received;
    char chunk[4096];
    while (m_fd >= 0) {
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            received.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            const QString message = n == 0 ? QStringLiteral("the line was hung up")
                                           : QStringLiteral("read failed: %1").arg(errnoText());
            if (!received.isEmpty())
                emit dataReceived(received);
            fail(message);
            return;
        }
        break;
    }
    if (!received.isEmpty())
        emit dataReceived(received);
}

void SimLine::fail(const QString &message)
{
    m_error = message;
    close();
    emit failed(message);
}

} // namespace PackSim
