// Packs coming and going: re-plugging under the same link name, power off and on, and what the
// pack does after an image (the next pack of a production line).
#include "packsimulator.h"

#include "simline.h"

#include <QTimer>

namespace PackSim {

void PackSimulator::unplug()
{
    const QString link = m_plugLinkPath;
    pullAdapter();
    m_plugLinkPath = link;
}

bool PackSimulator::plugIn()
{
    if (!openPty(m_plugLinkPath)) {
        emit lineFailed(m_error);
        return false;
    }
    m_powered = true;
    ++m_plugIns;
    emit pluggedIn(slavePath());
    return true;
}

void PackSimulator::replug(int absentMs)
{
    unplug();
    m_plugTimer->start(qMax(0, absentMs));
}

void PackSimulator::setPowered(bool on)
{
    m_powered = on;
    if (on)
        return;
    m_powerTimer->stop();
    m_replyTimer->stop();
    m_trickleTimer->stop();
    m_pending.clear();
    m_trickleActive = false;
    m_parser.clear();
}

void PackSimulator::powerCycle(int offMs)
{
    setPowered(false);
    m_powerTimer->start(qMax(0, offMs));
}

void PackSimulator::setAfterImage(AfterImage what, int ms)
{
    m_afterImage = what;
    m_afterImageMs = qMax(0, ms);
}

bool PackSimulator::storeModeFromName(const QString &name, StoreMode *mode)
{
    if (name == QLatin1String("number")) {
        *mode = StoreMode::ByNumber;
        return true;
    }
    if (name == QLatin1String("append")) {
        *mode = StoreMode::Append;
        return true;
    }
    return false;
}

// The end answer of an image is on the line: the operator takes the pack away a little later.
void PackSimulator::afterReply(Kind kind)
{
    if (kind != Kind::End || !m_imageAnswered)
        return;
    if (!m_versionAfterImage.isEmpty())
        m_versionText = m_versionAfterImage; // the new firmware, once the pack has restarted into it
    if (m_afterImage == AfterImage::Stay)
        return;
    m_imageAnswered = false;
    const int ms = m_afterImageMs;
    if (m_afterImage == AfterImage::Replug)
        QTimer::singleShot(ms, m_plugTimer, [this, ms] { replug(ms); });
    else
        QTimer::singleShot(ms, m_powerTimer, [this, ms] { powerCycle(ms); });
}

} // namespace PackSim
