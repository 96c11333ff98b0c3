// Makes a file unreadable for this thread for as long as the object lives: its permissions go to
// 000 and, when the test runs as root (which reads anything), the thread also gives up the two
// capabilities that let it ignore file permissions. Both are restored on destruction.
#pragma once

#include <QFile>
#include <QString>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class UnreadableFile
{
public:
    explicit UnreadableFile(const QString &path) : m_path(path)
    {
        m_permissions = QFile::permissions(path);
        if (!QFile::setPermissions(path, QFileDevice::Permissions())) {
            m_why = QStringLiteral("cannot chmod ") + path;
            return;
        }
        if (geteuid() == 0) {
            if (syscall(SYS_capget, &m_header, m_saved) != 0) {
                m_why = QStringLiteral("capget failed");
                return;
            }
            __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
            reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            if (syscall(SYS_capset, &m_header, reduced) != 0) {
                m_why = QStringLiteral("capset failed");
                return;
            }
            m_capsDropped = true;
        }
        QFile probe(path);
        m_unreadable = !probe.open(QIODevice::ReadOnly);
        if (!m_unreadable) {
            m_why = QStringLiteral("still readable");
        }
    }

    ~UnreadableFile()
    {
        if (m_capsDropped) {
            syscall(SYS_capset, &m_header, m_saved);
        }
        QFile::setPermissions(m_path, m_permissions);
    }

    UnreadableFile(const UnreadableFile &) = delete;
    UnreadableFile &operator=(const UnreadableFile &) = delete;

    bool isUnreadable() const { return m_unreadable; }
    QString why() const { return m_why; }

private:
    QString m_path;
    QFileDevice::Permissions m_permissions;
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_capsDropped = false;
    bool m_unreadable = false;
    QString m_why;
};
