// A terminal for the program under test: a pseudo-terminal of a given width whose far side the
// program gets as its standard output and error, and whose screen text the test reads.
#pragma once

#include "tests/common/buildpaths.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

class QProcess;

class Terminal : public QObject
{
    Q_OBJECT

public:
    explicit Terminal(int columns);
    ~Terminal() override;

    bool isOpen() const { return m_master >= 0; }
    // Sends the process's standard output and error to this terminal; before it starts.
    void attach(QProcess *process) const;
    const QString &text() const { return m_text; } // everything written so far, as written
    // The lines written so far, without their escape sequences, bells and carriage returns.
    QStringList plainLines() const;

private:
    void readMaster();

    int m_master = -1;
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QString m_text;
};
