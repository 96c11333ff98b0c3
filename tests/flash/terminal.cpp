#include "terminal.h"

#include <QProcess>
#include <QRegularExpression>

#include <cerrno>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

Terminal::Terminal(int columns)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        return;
    }
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ioctl(m_master, TIOCSWINSZ, &size) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &Terminal::readMaster);
}

Terminal::~Terminal()
{
    m_notifier.reset();
    if (m_master >= 0) {
        ::close(m_master);
    }
}

void Terminal::attach(QProcess *process) const
{
    process->setStandardOutputFile(m_slavePath);
    process->setStandardErrorFile(m_slavePath);
}

void Terminal::readMaster()
{
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0) {
        m_text += QString::fromUtf8(buffer, static_cast<int>(n));
    } else if (n == 0 || errno != EAGAIN) {
        m_notifier->setEnabled(false); // the far side is closed: the program has ended
    }
}

QStringList Terminal::plainLines() const
{
    QString plain = m_text;
    plain.remove(QRegularExpression(QStringLiteral("\x1b\\[[0-9;]*[A-Za-z]")));
    plain.remove(QLatin1Char('\a'));
    return plain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
}
