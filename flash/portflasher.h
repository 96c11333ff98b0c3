// One pack on one port for the flasher: a pack session (upgrade/packsession.h) run in the
// flasher's order: open, ask the version, check the image against it, download, check after. What
// is the flasher's own here is that order, --read-version, and the stage of the progress line.
#pragma once

#include "packsession.h"

#include <QObject>

namespace Flash {

using Download::SharedImage;

// What a port is doing, for the progress line.
enum class Stage
{
    Waiting,
    Version, // waiting for the version reply
    Download,
    Verify, // --verify: asking the version after the update
    Finished,
};

struct PortSettings
{
    Download::SessionSettings session;
    bool unverified = false;      // --unverified: a pack without a version is flashed too
    bool readVersionOnly = false; // --read-version: stop once the version is known
};

class PortFlasher : public QObject
{
    Q_OBJECT

public:
    PortFlasher(const QString &port, const PortSettings &settings, const SharedImage *image,
                QObject *parent = nullptr);

    void start();
    // Ends the port before it opens: the image cannot be flashed (why), whatever the pack is.
    void refuse(const QString &why);
    void interrupt(); // Ctrl-C: the download ends, the port closes at once

    const QString &port() const { return m_session.port(); }
    Stage stage() const;
    bool finished() const { return m_session.hasEnded(); }
    const Download::PortResult &result() const { return m_session.result(); }
    int exitCode() const { return result().exitCode; }
    QString outcome() const { return result().record.outcome; }
    QString version() const { return m_session.version(); } // the last one reported
    QString failure() const { return result().failure; }
    const Download::State &state() const { return m_session.state(); }
    qint64 downloadMs() const { return m_session.downloadMs(); }
    QString phaseName() const;
    const Download::Record &record() const { return result().record; }
    QString recordError() const { return m_session.recordError(); }
    Download::PackSession &session() { return m_session; }

signals:
    void progressed(); // a packet was acknowledged
    void done();

private:
    void checkVersion();

    PortSettings m_settings;
    const SharedImage *m_image;
    Download::PackSession m_session;
};

} // namespace Flash
