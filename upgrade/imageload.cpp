// Loading a firmware image: version check, size check, head and body, padding to whole packets.
#include "app/mainwindow.h"

#include "app/dialogs.h"
#include "app/logging.h"
#include "app/settings.h"
#include "protocol/constants.h"
#include "ui_mainwindow.h"
#include "upgrade/firmwareimage.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

void MainWindow::on_btnFileLoad_clicked()
{
    if (m_strVersion.isEmpty()) {
        m_strVersion = Settings::version();
    }
    if (m_strVersion.isEmpty()) {
        Dialogs::warning(this, tr("Please click to obtain the version number first"));
        return;
    }

    // Whatever happens from here on, the previous image is gone.
    g_uiUGDataCount = 0;
    m_FWContext.clear();

    const QString startDir = m_strLastDir.isEmpty()
                                 ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                                 : m_strLastDir;
    const QString path =
        Dialogs::openFile(this, tr("Firmware selection"), startDir, tr("File (*.bin *.sorrel);; "));
    if (path.isEmpty()) {
        return;
    }
    ui->leFilePath->setText(path);

    if (!FirmwareImage::pathHasVersion(path, m_strVersion)) {
        Dialogs::warning(this, tr("The version number of the upgraded file does not match the actual "
                                  "version number"));
        return;
    }
    m_strLastDir = FirmwareImage::directoryOf(path);

    const qint64 fileBytes = QFileInfo(path).size();
    switch (FirmwareImage::checkSize(fileBytes)) {
    case FirmwareImage::SizeVerdict::TooShort:
        Dialogs::warning(this, tr("File is too short, upgrade failed"));
        return;
    case FirmwareImage::SizeVerdict::TooLarge:
        // More packets than the 16-bit packet number and end count can carry.
        Dialogs::warning(this, tr("File is too large, upgrade failed"));
        return;
    case FirmwareImage::SizeVerdict::Accepted:
        break;
    }

    QFile file(path);
    QByteArray head8;
    QByteArray body;
    const bool read =
        file.open(QIODevice::ReadOnly) && FirmwareImage::readAsHex(file, fileBytes, &head8, &body);
    file.close();
    if (!read) {
        qCDebug(lcUpgrade) << "firmware read failed:" << path << file.errorString();
        Dialogs::warning(this, tr("File open failed, upgrade failed"));
        return;
    }
    qCDebug(lcUpgrade) << "1m_FWContext.data()===" << head8 << body.left(64);

    m_FWContextHead8 = head8;
    m_FWContext = std::move(body);
    qCDebug(lcUpgrade) << "2m_FWContext===" << m_FWContext.size() << "m_FWContext8=" << m_FWContextHead8;

    padByteArrayToMultipleOf1024();

    addLogLine(tr("\tStarting! Size : %1").arg(fileBytes));
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
