// Helpers of the window tests: a raw pseudo-terminal the test speaks through directly, a capture of
// the window's trace lines, and short ways to reach the window's widgets by object name.
#pragma once

#include "codec.h"
#include "mainwindow.h"
#include "windowlookup.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// The master end of a pseudo-terminal pair, raw; everything the window writes to the slave is
// collected in received().
class PtyPair : public QObject
{
    Q_OBJECT

public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
            return;
        }
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0) {
            return;
        }
        m_slavePath = QString::fromLocal8Bit(name);
        termios tio{};
        if (::tcgetattr(m_master, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_master, TCSANOW, &tio);
        }
        // Keep a slave descriptor open so the master never reads EIO while the window's port is
        // closed; pulling the adapter closes it too.
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PtyPair::readMaster);
    }

    ~PtyPair() override { pull(); }

    bool isOpen() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    QByteArray &received() { return m_received; }

    // Writes bytes into the line towards the window.
    bool send(const QByteArray &bytes)
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            }
            done += n > 0 ? n : 0;
        }
        return true;
    }

    // The adapter is unplugged: both ends of the line go.
    void pull()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_slave >= 0) {
            ::close(m_slave);
            m_slave = -1;
        }
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

private:
    void readMaster()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            m_received.append(buffer, static_cast<int>(n));
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
};

// Collects the debug lines of the window's trace categories while it lives; they are switched on
// for that time whatever QT_LOGGING_RULES says, and nothing is printed.
class TraceCapture
{
public:
    TraceCapture()
    {
        s_lines.clear();
        s_previousFilter = QLoggingCategory::installFilter(&TraceCapture::filter);
        s_previousHandler = qInstallMessageHandler(&TraceCapture::handler);
    }
    ~TraceCapture()
    {
        qInstallMessageHandler(s_previousHandler);
        QLoggingCategory::installFilter(s_previousFilter);
    }

    static QStringList lines() { return s_lines; }
    static void clear() { s_lines.clear(); }
    // Lines that begin with text.
    static QStringList startingWith(const QString &text)
    {
        QStringList found;
        for (const QString &line : qAsConst(s_lines)) {
            if (line.startsWith(text)) {
                found.append(line);
            }
        }
        return found;
    }

private:
    static bool ours(const char *category) { return qstrncmp(category, "quorvane.", 9) == 0; }
    static void filter(QLoggingCategory *category)
    {
        if (s_previousFilter) {
            s_previousFilter(category);
        }
        if (ours(category->categoryName())) {
            category->setEnabled(QtDebugMsg, true);
        }
    }
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtDebugMsg && context.category && ours(context.category)) {
            s_lines.append(message);
            return;
        }
        if (s_previousHandler) {
            s_previousHandler(type, context, message);
        }
    }

    static inline QStringList s_lines;
    static inline QLoggingCategory::CategoryFilter s_previousFilter = nullptr;
    static inline QtMessageHandler s_previousHandler = nullptr;
};

// The window's widgets, by object name.
inline QPushButton *button(MainWindow &w, const char *name)
{
    return w.findChild<QPushButton *>(QLatin1String(name));
}
inline QComboBox *combo(MainWindow &w, const char *name)
{
    return w.findChild<QComboBox *>(QLatin1String(name));
}
inline QLabel *lamp(MainWindow &w)
{
    return w.findChild<QLabel *>(QStringLiteral("lbStatus"));
}
inline QLineEdit *versionField(MainWindow &w)
{
    return w.findChild<QLineEdit *>(QStringLiteral("leVer"));
}

// The six lists that follow the port state.
inline const char *const kPortLists[] = {"comboBox_baudRate", "comboBox_dataBits",   "comboBox_flowBit",
                                         "comboBox_parity",   "comboBox_serialPort", "comboBox_stopBit"};

inline QString lampSheet(const char *colour)
{
    return QStringLiteral("min-width: 32px;min-height: 32px;max-width: 32px;max-height: 32px;"
                          "border-radius: 16px;border:1px solid black;background-color:") +
           QLatin1String(colour);
}
inline QString redLamp()
{
    return lampSheet("rgb(255, 0, 0)");
}
inline QString greenLamp()
{
    return lampSheet("rgb(0, 255, 0)");
}

inline bool listsEnabled(MainWindow &w, bool enabled)
{
    for (const char *name : kPortLists) {
        if (combo(w, name)->isEnabled() != enabled) {
            return false;
        }
    }
    return true;
}

// A reply of the pack: a 0x7E frame whose INFO is the hexadecimal text of payload.
inline QByteArray replyFrame(const QByteArray &payload)
{
    return Codec::buildAsciiFrame(payload.toHex().toUpper(), 0x01, 0x46, 0x01, 0x25);
}

inline QString savedVersion()
{
    QSettings settings(WindowLookup::configPath(), QSettings::IniFormat);
    return settings.value(QStringLiteral("connectInfo/version")).toString();
}

inline void removeSettingsFile()
{
    QFile::remove(WindowLookup::configPath());
}
