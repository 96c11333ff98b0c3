// Drives the real window through a whole firmware update against a simulated pack, as a user would
// click it, saving a screenshot at each step and echoing the log lines as they appear.
#pragma once

#include <QDir>
#include <QString>

class TourDriver
{
public:
    TourDriver(const QDir &outDir, const QString &workDir);

    // One pass in one language ("en" or "zh"). True when every step happened and the pack's
    // reassembled image matches the file byte for byte.
    bool run(const QString &language);

private:
    bool fail(const QString &what);
    void shot(QWidget &window, const QString &language, int step, const QString &name);

    QDir m_out;
    QString m_work;
};
