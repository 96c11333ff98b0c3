#include "porttile.h"

#include "outcometext.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace Station {

namespace {

constexpr qreal kPortFontScale = 2.0;  // the port's name against the window's font
constexpr qreal kStateFontScale = 1.6; // the state's line
constexpr int kMsPerSecond = 1000;
constexpr int kTileMinChars = 30; // a tile's least width, in average characters

struct Look
{
    const char *state;
    const char *background;
    const char *text;
};

// Colours a bench reads at a glance: grey waiting, blue working, green, red and amber results.
constexpr Look kLooks[] = {
    {"waiting", "#e0e0e0", "#212121"},   {"flashing", "#1565c0", "#ffffff"},
    {"verifying", "#0d47a1", "#ffffff"}, {"passed", "#2e7d32", "#ffffff"},
    {"failed", "#c62828", "#ffffff"},    {"not_flashed", "#ffb300", "#212121"},
    {"stopped", "#757575", "#ffffff"},
};

QLabel *newLabel(QWidget *parent, qreal fontScale = 1.0, bool bold = false)
{
    auto *label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * fontScale);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

} // namespace

PortTile::PortTile(const QString &port, QWidget *parent)
    : QFrame(parent), m_portLabel(newLabel(this, kPortFontScale, true)),
      m_stateLabel(newLabel(this, kStateFontScale, true)), m_progress(new QProgressBar(this)),
      m_timeLeft(newLabel(this)), m_versionLabel(newLabel(this)), m_fileLabel(newLabel(this)),
      m_afterLabel(newLabel(this)), m_reasonLabel(newLabel(this, 1.0, true)), m_presenceLabel(newLabel(this)),
      m_countsLabel(newLabel(this))
{
    setObjectName(QStringLiteral("tile"));
    setFrameShape(QFrame::StyledPanel);
    m_row.port = port;
    // "/dev/ttyUSB0" reads as "ttyUSB0" across the bench; the whole path is its tooltip.
    m_portLabel->setText(QFileInfo(port).fileName().isEmpty() ? port : QFileInfo(port).fileName());
    m_portLabel->setToolTip(port);
    setMinimumWidth(fontMetrics().averageCharWidth() * kTileMinChars);
    m_portLabel->setWordWrap(false);
    m_progress->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    for (QWidget *w : std::initializer_list<QWidget *>{m_portLabel, m_stateLabel, m_progress, m_timeLeft,
                                                       m_versionLabel, m_fileLabel, m_afterLabel,
                                                       m_reasonLabel, m_presenceLabel, m_countsLabel}) {
        layout->addWidget(w);
    }
    layout->addStretch();
    refresh();
}

void PortTile::showRow(const Download::StationRow &row)
{
    const bool working = row.phase == Download::StationPhase::Settling ||
                         row.phase == Download::StationPhase::Flashing ||
                         row.phase == Download::StationPhase::Verifying;
    if (working && row.outcome.isEmpty()) {
        m_hasResult = false; // the next pack is here: the last one's result leaves the tile
    }
    m_row = row;
    refresh();
}

void PortTile::showResult(const TileResult &result)
{
    m_result = result;
    m_hasResult = true;
    if (Download::passed(result.outcome)) {
        ++m_passed;
    } else if (Download::flashed(result.outcome)) {
        ++m_failed;
    }
    refresh();
}

void PortTile::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        refresh();
    }
}

QString PortTile::stateName() const
{
    switch (m_row.phase) {
    case Download::StationPhase::Stopped:
        return QStringLiteral("stopped");
    case Download::StationPhase::Verifying:
        return QStringLiteral("verifying");
    case Download::StationPhase::Settling:
    case Download::StationPhase::Flashing:
        if (!m_hasResult) {
            return QStringLiteral("flashing");
        }
        break;
    case Download::StationPhase::Waiting:
    case Download::StationPhase::Leaving:
        break;
    }
    if (!m_hasResult) {
        return QStringLiteral("waiting");
    }
    if (Download::passed(m_result.outcome)) {
        return QStringLiteral("passed");
    }
    return Download::flashed(m_result.outcome) ? QStringLiteral("failed") : QStringLiteral("not_flashed");
}

QString PortTile::stateText(const QString &state) const
{
    if (state == QLatin1String("flashing")) {
        if (m_row.phase == Download::StationPhase::Settling) {
            return tr("Firmware file still changing");
        }
        return tr("Flashing %1/%2").arg(m_row.acknowledged).arg(m_row.total);
    }
    if (state == QLatin1String("verifying")) {
        return tr("Checking the version");
    }
    if (state == QLatin1String("passed")) {
        return tr("PASS");
    }
    if (state == QLatin1String("failed")) {
        return tr("FAIL");
    }
    if (state == QLatin1String("not_flashed")) {
        return m_result.candidates > 1 ? tr("%1 files for %2").arg(m_result.candidates).arg(m_result.version)
                                       : tr("No firmware for %1").arg(m_result.version);
    }
    if (state == QLatin1String("stopped")) {
        return tr("Stopped");
    }
    return tr("Waiting for a pack");
}

QString PortTile::reasonText() const
{
    if (!m_hasResult || Download::passed(m_result.outcome)) {
        return QString();
    }
    if (m_result.outcome == Download::Outcome::NotFlashed) {
        return tr("Nothing flashed");
    }
    return outcomeLine(m_result.outcome);
}

void PortTile::refresh()
{
    const QString state = stateName();
    const QString version = m_hasResult ? m_result.version : m_row.version;
    QString file = m_row.file;
    if (!file.isEmpty() && !m_firmwareDir.isEmpty()) {
        file =
            QDir::toNativeSeparators(QDir(m_firmwareDir).relativeFilePath(QDir::fromNativeSeparators(file)));
    }
    setProperty("port", m_row.port);
    setProperty("state", state);
    setProperty("outcome", m_hasResult ? Download::outcomeName(m_result.outcome) : QString());
    setProperty("version", version);
    setProperty("file", m_row.file);
    setProperty("packPresent", m_row.packPresent);

    for (const Look &look : kLooks) {
        if (state == QLatin1String(look.state)) {
            setStyleSheet(QStringLiteral("#tile { background-color: %1; border-radius: 6px; }"
                                         " #tile QLabel { color: %2; }")
                              .arg(QLatin1String(look.background), QLatin1String(look.text)));
        }
    }
    m_stateLabel->setText(stateText(state));
    const bool flashing =
        state == QLatin1String("flashing") && m_row.phase == Download::StationPhase::Flashing;
    m_progress->setVisible(flashing);
    m_timeLeft->setVisible(flashing && m_row.acknowledged > 0);
    if (flashing) {
        m_progress->setRange(0, static_cast<int>(qMax<quint32>(m_row.total, 1)));
        m_progress->setValue(static_cast<int>(m_row.acknowledged));
        if (m_row.acknowledged > 0) {
            const qint64 leftMs = m_row.elapsedMs * (m_row.total - m_row.acknowledged) / m_row.acknowledged;
            m_timeLeft->setText(tr("%1 s left").arg((leftMs + kMsPerSecond - 1) / kMsPerSecond));
        }
    }
    m_versionLabel->setText(version.isEmpty() ? QString() : tr("Version: %1").arg(version));
    m_versionLabel->setVisible(!version.isEmpty());
    m_fileLabel->setText(file.isEmpty() ? QString() : tr("File: %1").arg(file));
    m_fileLabel->setVisible(!file.isEmpty());
    const QString after = m_hasResult ? m_result.versionAfter : QString();
    m_afterLabel->setText(after.isEmpty() ? QString() : tr("Now running: %1").arg(after));
    m_afterLabel->setVisible(!after.isEmpty());
    const QString reason = reasonText();
    m_reasonLabel->setText(reason);
    m_reasonLabel->setToolTip(m_row.failure);
    m_reasonLabel->setVisible(!reason.isEmpty());
    // A stopped port no longer asks whether the pack is there.
    m_presenceLabel->setVisible(m_hasResult && state != QLatin1String("stopped"));
    m_presenceLabel->setText(m_row.packPresent ? tr("Remove the pack") : tr("Pack removed"));
    m_countsLabel->setText(tr("Passed %1 · Failed %2").arg(m_passed).arg(m_failed));
}

} // namespace Station
