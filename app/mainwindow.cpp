// The window's lifecycle: construction in its fixed order, the key and event hooks, the log line
// and the small slots that belong to no other area.
#include "mainwindow.h"

#include "dialogs.h"
#include "exchange.h"
#include "helpguide.h"
#include "logging.h"
#include "logview.h"
#include "quietslots.h"
#include "settings.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int kStatusMessageMs = 2000; // ms the status bar keeps a message

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    // The form connects the on_<object>_<signal> slots by name, the language slot among them.
    {
        const QuietSlots::Scope quiet;
        ui->setupUi(this);
    }

    // The first index change of the language list (the list being filled) is swallowed.
    m_bLanguageReady = false;
    const QStringList languages{tr("English"), tr("Chinese")};
    ui->cbxLanguage->insertItems(ui->cbxLanguage->count(), languages);

    const uint savedLanguage = Settings::language();
    qCDebug(lcApp).nospace() << "1111uVal=======" << savedLanguage;
    ui->cbxLanguage->setCurrentIndex(static_cast<int>(savedLanguage));

    ui->lbStatus->setText(QString());
    setLED(ui->lbStatus, 1, 32);

    setWindowTitle(QStringLiteral("BMS"));

    m_exchange = new Download::Exchange(this);
    // Without a version from the pack, the one in use is the one config.ini kept.
    m_exchange->setUnreportedVersionSource(Download::VersionSource::ConfigIni);
    initSerialPort();

    ui->progressBar->setValue(0);

    // Only the port, the baud rate and the two buttons of the serial group are used.
    ui->label_9->setVisible(false);
    ui->comboBox_dataBits->setVisible(false);
    ui->label_10->setVisible(false);
    ui->comboBox_parity->setVisible(false);
    ui->label_11->setVisible(false);
    ui->comboBox_stopBit->setVisible(false);
    ui->label_12->setVisible(false);
    ui->comboBox_flowBit->setVisible(false);

    // The log gets a line per packet, tens of thousands in a long download, and wraps long lines:
    // app/logview.h keeps the rows of different heights fast.
    LogView::setUp(ui->listWidget);
}

MainWindow::~MainWindow() = default;

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    Q_UNUSED(watched)
    Q_UNUSED(event)
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Key presses that reach the window itself are consumed without effect.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    Q_UNUSED(modifiers)
}

// "Close" and the title bar's close button both come here.
void MainWindow::closeEvent(QCloseEvent *event)
{
    if (downloadRunning() &&
        !Dialogs::question(this, tr("A download is running. Close the window anyway?"))) {
        event->ignore();
        return;
    }
    m_exchange->shutdown();
    event->accept();
}

void MainWindow::addLogLine(const QString &message)
{
    LogView::addLine(ui->listWidget, timeStamp() + message);
}

// Notices carry the completion line's separator after the time stamp, so that they read like it,
// and are drawn so that they do not pass for it.
void MainWindow::addNoticeLine(const QString &message)
{
    LogView::addNotice(ui->listWidget, timeStamp() + QStringLiteral(":  ") + message);
}

void MainWindow::OnStatusBtnClicked()
{
    statusBar()->showMessage(QStringLiteral("入侵远程主机成功！恭喜你！"), kStatusMessageMs);
}

void MainWindow::powerChange(int curPow)
{
    qCDebug(lcApp, "now V: %d", curPow);
}

void MainWindow::on_btnClose_clicked() {}

void MainWindow::onCanRecved(VCI_CAN_OBJ rBuf)
{
    Q_UNUSED(rBuf)
}

void MainWindow::onCanMsgBox(QString s, bool bWarning)
{
    Q_UNUSED(s)
    Q_UNUSED(bWarning)
    qCDebug(lcApp) << "onCanMsgBox suss";
}

void MainWindow::onCanSend(signed char ucFunc, ushort usRegAddr, quint8 *pucBuf, ushort usLen)
{
    Q_UNUSED(ucFunc)
    Q_UNUSED(usRegAddr)
    Q_UNUSED(pucBuf)
    Q_UNUSED(usLen)
}

void MainWindow::onTimer() {}

void MainWindow::on_btnMonitor_clicked() {}

void MainWindow::timeSendSlot() {}

void MainWindow::on_btnStop_clicked()
{
    close();
}

void MainWindow::on_btnPdf_clicked()
{
    const QString path = HelpGuide::path(QCoreApplication::applicationDirPath());
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        qCDebug(lcApp) << "PDF file opened successfully.";
        return;
    }
    qCDebug(lcApp) << "Failed to open PDF file.";
    const QString shown = QDir::toNativeSeparators(path);
    // A guide that is there but would not open lacks a viewer, not the file.
    Dialogs::warning(this, QFileInfo::exists(path)
                               ? tr("No program to open PDF files was found. The guide is %1.").arg(shown)
                               : tr("The help document %1 cannot be opened.").arg(shown));
}
