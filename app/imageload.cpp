// Loading a firmware image: version check, size check, head and body, padding to whole packets.
#include "mainwindow.h"

#include "constants.h"
#include "dialogs.h"
#include "exchange.h"
#include "firmwareimage.h"
#include "logging.h"
#include "settings.h"
#include "ui_mainwindow.h"

#include <QStandardPaths>

void MainWindow::on_btnFileLoad_clicked()
{
    // A new image under a running download would mix two images on the pack.
    if (downloadRunning()) {
        Dialogs::warning(this, tr("A download is running. Load a file when it has finished."));
        return;
    }
    setStartAwaitsVersion(false); // a Start waiting for the pack's version was for the image going now
    if (m_strVersion.isEmpty()) {
        m_strVersion = Settings::version();
    }
    if (m_strVersion.isEmpty()) {
        Dialogs::warning(this, tr("Please click to obtain the version number first"));
        return;
    }

    // Whatever happens from here on, the previous image is gone, and with it any download of it
    // that has reached its outcome: no late answer may send a packet of another image.
    g_uiUGDataCount = 0;
    m_FWContext.clear();
    m_imagePath.clear();
    ui->leFilePath->clear(); // the box shows the image really loaded, or nothing
    m_exchange->clearImage();

    const QString startDir = m_strLastDir.isEmpty()
                                 ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                                 : m_strLastDir;
    const QString path =
        Dialogs::openFile(this, tr("Firmware selection"), startDir, tr("File (*.bin *.sorrel);; "));
    if (path.isEmpty()) {
        return;
    }
    if (!FirmwareImage::pathHasVersion(path, m_strVersion)) {
        warnVersionMismatch();
        return;
    }
    m_strLastDir = FirmwareImage::directoryOf(path);

    FirmwareImage::Image image;
    switch (FirmwareImage::load(path, &image)) {
    case FirmwareImage::LoadVerdict::TooShort:
        Dialogs::warning(this, tr("File is too short, upgrade failed"));
        return;
    case FirmwareImage::LoadVerdict::TooLarge:
        // More packets than the 16-bit packet number and end count can carry.
        Dialogs::warning(this, tr("File is too large, upgrade failed"));
        return;
    case FirmwareImage::LoadVerdict::Unreadable:
        qCDebug(lcUpgrade) << "firmware read failed:" << path;
        Dialogs::warning(this, tr("File open failed, upgrade failed"));
        return;
    case FirmwareImage::LoadVerdict::Loaded:
        break;
    }
    qCDebug(lcUpgrade) << "1m_FWContext.data()===" << image.head8 << image.body.left(64);

    ui->leFilePath->setText(path);
    m_FWContextHead8 = image.head8;
    m_FWContext = image.body; // shared with the image, not copied
    m_imagePath = path;
    qCDebug(lcUpgrade) << "2m_FWContext===" << m_FWContext.size() << "m_FWContext8=" << m_FWContextHead8;

    padByteArrayToMultipleOf1024();
    image.body = m_FWContext;
    image.packets = g_uiUGDataCount;
    m_exchange->setImage(image, path);

    addLogLine(tr("\tStarting! Size : %1").arg(image.fileBytes));
}

// The path lacks the version's first characters: the box names them.
void MainWindow::warnVersionMismatch()
{
    Dialogs::warning(this,
                     tr("The version number of the upgraded file does not match the actual version number"),
                     tr("The file's path must contain %1.").arg(FirmwareImage::versionKey(m_strVersion)));
}

void MainWindow::padByteArrayToMultipleOf1024()
{
    const int before = m_FWContext.size();
    qCDebug(lcUpgrade) << "padByteArrayToMultipleOf1024 m_FWContext.size()===" << before;
    qCDebug(lcUpgrade) << "ata.Size1024()===" << FirmwareImage::paddedHexChars(before) / g_usUGPackLen;

    const int zeros = FirmwareImage::padToWholePackets(m_FWContext);
    qCDebug(lcUpgrade) << "zeros=" << zeros / 2 << "zerosToAdd=" << zeros;

    g_uiUGDataCount = static_cast<quint32>(m_FWContext.size() / g_usUGPackLen);
    qCDebug(lcUpgrade) << "g_uiUGDataCount===" << g_uiUGDataCount
                       << "m_FWContext.size()%g_usUGPackLen=" << m_FWContext.size() % g_usUGPackLen;

    ui->progressBar->setRange(0, static_cast<int>(g_uiUGDataCount));
}
