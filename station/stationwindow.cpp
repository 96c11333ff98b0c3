// The station window's set-up and its ports: Start, the two steps of Stop, ports joining, closing.
#include "stationwindow.h"

#include "constants.h"
#include "dialogs.h"
#include "firmwarechoice.h"
#include "portidentity.h"
#include "porttile.h"
#include "settings.h"
#include "ui_stationwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QSerialPortInfo>

namespace Station {

namespace {

const char kFirmwareDirKey[] = "stationFirmwareDir";
const char kBaudKey[] = "stationBaud";
constexpr qint32 kDefaultBaud = 9600;
constexpr qint32 kBauds[] = {9600, 19200, 38400, 57600, 115200};
constexpr int kFolderLookDelayMs = 300; // ms after the last keystroke before the folder is looked at
constexpr int kTileColumns = 4;

} // namespace

StationWindow::StationWindow(QWidget *parent) : QMainWindow(parent), ui(std::make_unique<Ui::StationWindow>())
{
    ui->setupUi(this);
    for (qint32 baud : kBauds) {
        ui->cbxBaud->addItem(QString::number(baud), baud);
    }
    const int remembered = ui->cbxBaud->findData(Settings::text(kBaudKey).toInt());
    ui->cbxBaud->setCurrentIndex(remembered >= 0 ? remembered : ui->cbxBaud->findData(kDefaultBaud));
    ui->leFirmwareDir->setText(Settings::text(kFirmwareDirKey));
    ui->cbxLanguage->addItem(QStringLiteral("English"));
    ui->cbxLanguage->addItem(QStringLiteral("中文"));
    ui->historyTable->horizontalHeader()->setStretchLastSection(true);
    ui->historyTable->verticalHeader()->setVisible(false);

    auto *folderLook = new QTimer(this);
    folderLook->setSingleShot(true);
    folderLook->setInterval(kFolderLookDelayMs);
    connect(folderLook, &QTimer::timeout, this, &StationWindow::showFolder);
    connect(ui->leFirmwareDir, &QLineEdit::textChanged, folderLook, qOverload<>(&QTimer::start));
    connect(ui->btnBrowse, &QPushButton::clicked, this, &StationWindow::onBrowse);
    connect(ui->btnStart, &QPushButton::clicked, this, &StationWindow::onStart);
    connect(ui->btnStop, &QPushButton::clicked, this, &StationWindow::onStop);
    connect(ui->rbChosenPorts, &QRadioButton::toggled, ui->lstPorts, &QWidget::setEnabled);
    connect(ui->chkVerify, &QCheckBox::toggled, ui->leExpectVersion, &QWidget::setEnabled);
    connect(&m_discovery, &QTimer::timeout, this, &StationWindow::discoverPorts);
    connect(&m_rateTimer, &QTimer::timeout, this, &StationWindow::showTotals);
    ui->lstPorts->setEnabled(false);
    ui->leExpectVersion->setEnabled(false);

    const int language = static_cast<int>(Settings::language());
    ui->cbxLanguage->setCurrentIndex(language);
    connect(ui->cbxLanguage, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &StationWindow::onLanguage);
    if (language != 0) {
        onLanguage(language);
    }
    fillPortList();
    showFolder();
    showTotals();
    m_history = readHistory(Settings::recordPath());
    showHistory();
}

StationWindow::~StationWindow()
{
    // A port that goes away with its download running ends it: nothing it says then reaches the
    // window, whose members are already partly gone.
    for (auto &port : m_ports) {
        port->disconnect();
    }
    m_ports.clear();
}

void StationWindow::applyPreset(const StationPreset &preset)
{
    if (!preset.firmwareDir.isEmpty()) {
        ui->leFirmwareDir->setText(preset.firmwareDir);
        showFolder();
    }
    for (const QString &port : preset.ports) {
        addExtraPort(port);
    }
    if (preset.baud > 0) {
        if (ui->cbxBaud->findData(preset.baud) < 0) {
            ui->cbxBaud->addItem(QString::number(preset.baud), preset.baud);
        }
        ui->cbxBaud->setCurrentIndex(ui->cbxBaud->findData(preset.baud));
    }
    ui->chkVerify->setChecked(preset.verify);
    ui->leExpectVersion->setText(preset.expectVersion);
    if (preset.start) {
        onStart();
    }
}

void StationWindow::addExtraPort(const QString &device)
{
    if (!m_extraPorts.contains(device)) {
        m_extraPorts << device;
    }
    fillPortList();
    const QList<QListWidgetItem *> items = ui->lstPorts->findItems(device, Qt::MatchExactly);
    for (QListWidgetItem *item : items) {
        item->setCheckState(Qt::Checked);
    }
    ui->rbChosenPorts->setChecked(true);
}

void StationWindow::fillPortList()
{
    QSet<QString> ticked;
    for (int i = 0; i < ui->lstPorts->count(); ++i) {
        if (ui->lstPorts->item(i)->checkState() == Qt::Checked) {
            ticked.insert(ui->lstPorts->item(i)->text());
        }
    }
    QStringList ports = m_extraPorts;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        if (!ports.contains(info.systemLocation())) {
            ports << info.systemLocation();
        }
    }
    ui->lstPorts->clear();
    for (const QString &port : qAsConst(ports)) {
        auto *item = new QListWidgetItem(port, ui->lstPorts);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked.contains(port) ? Qt::Checked : Qt::Unchecked);
    }
}

void StationWindow::onBrowse()
{
    const QString folder = Dialogs::openFolder(this, tr("Firmware folder"), ui->leFirmwareDir->text());
    if (!folder.isEmpty()) {
        ui->leFirmwareDir->setText(QDir::toNativeSeparators(folder));
        Settings::setText(kFirmwareDirKey, ui->leFirmwareDir->text());
        showFolder();
    }
}

bool StationWindow::downloading() const
{
    for (const auto &port : m_ports) {
        if (port->downloading()) {
            return true;
        }
    }
    return false;
}

void StationWindow::onStart()
{
    const QString dir = QDir::fromNativeSeparators(ui->leFirmwareDir->text().trimmed());
    const QString problem = Download::firmwareDirProblem(dir);
    if (dir.isEmpty() || !problem.isEmpty()) {
        Dialogs::warning(this, tr("Choose a firmware folder first."), dir.isEmpty() ? QString() : problem);
        return;
    }
    QStringList chosen;
    if (ui->rbChosenPorts->isChecked()) {
        for (int i = 0; i < ui->lstPorts->count(); ++i) {
            if (ui->lstPorts->item(i)->checkState() == Qt::Checked) {
                chosen << ui->lstPorts->item(i)->text();
            }
        }
        if (chosen.isEmpty()) {
            Dialogs::warning(this, tr("Tick at least one port, or choose all ports."));
            return;
        }
    }
    Settings::setText(kFirmwareDirKey, ui->leFirmwareDir->text().trimmed());
    Settings::setText(kBaudKey, ui->cbxBaud->currentText());
    showFolder();

    m_settings = Download::StationSettings();
    m_settings.baud = ui->cbxBaud->currentData().toInt();
    m_settings.retries = Settings::retries();
    m_settings.firmwareDir = dir;
    m_settings.recordFile = Settings::recordPath();
    m_settings.verify = ui->chkVerify->isChecked();
    m_settings.expectVersion = m_settings.verify ? ui->leExpectVersion->text().trimmed() : QString();
    m_store = std::make_unique<Download::FirmwareStore>();
    m_store->look(Download::firmwareFiles(dir)); // the settle time starts now

    const QList<PortTile *> oldTiles = ui->tilesWidget->findChildren<PortTile *>();
    for (PortTile *tile : oldTiles) {
        delete tile;
    }
    m_devices.clear();
    m_passed = m_failed = m_notFlashed = 0;
    m_stopping = false;
    m_since.start();
    setRunning(true);
    for (const QString &port : qAsConst(chosen)) {
        addPort(port);
    }
    if (chosen.isEmpty()) {
        discoverPorts();
        m_discovery.start(Quorvane::kStationQueryMs);
    }
    showTotals();
}

// All ports: the system's serial ports, and those that appear later, join the station.
void StationWindow::discoverPorts()
{
    for (const QString &port : PortIdentity::newPorts(m_devices)) {
        addPort(port);
    }
}

void StationWindow::addPort(const QString &port)
{
    m_devices.insert(PortIdentity::canonicalPath(port));
    auto stationPort = std::make_unique<Download::StationPort>(port, m_settings, m_store.get());
    Download::StationPort *p = stationPort.get();
    auto *tile = new PortTile(port, ui->tilesWidget);
    tile->setFirmwareDir(m_settings.firmwareDir);
    const int index = static_cast<int>(m_ports.size());
    ui->tilesLayout->addWidget(tile, index / kTileColumns, index % kTileColumns);
    m_tiles.insert(p, tile);
    connect(p, &Download::StationPort::changed, tile, [p, tile] { tile->showRow(p->row()); });
    connect(p, &Download::StationPort::packDone, this,
            [this, p](const Download::PortResult &result) { onPackDone(p, result); });
    connect(p, &Download::StationPort::notice, this,
            [this](const QString &text) { statusBar()->showMessage(text); });
    connect(p, &Download::StationPort::stoppedNow, this, &StationWindow::onStopped, Qt::QueuedConnection);
    m_ports.push_back(std::move(stationPort));
    p->start();
    tile->showRow(p->row());
    if (m_stopping) {
        p->stopTakingPacks();
    }
}

void StationWindow::onStop()
{
    if (!m_stopping) {
        m_stopping = true;
        m_discovery.stop();
        statusBar()->showMessage(
            tr("Stopping: no new packs; running downloads finish. Stop again interrupts them."));
        for (auto &port : m_ports) {
            port->stopTakingPacks();
        }
        onStopped();
        return;
    }
    if (downloading() && Dialogs::question(this, tr("Interrupt the running downloads?"))) {
        for (auto &port : m_ports) {
            port->interrupt();
        }
    }
}

// Every port stopped: the station is set up again; the tiles keep their last results.
void StationWindow::onStopped()
{
    if (!m_stopping) {
        return;
    }
    for (const auto &port : m_ports) {
        if (!port->stopped()) {
            return;
        }
    }
    for (auto &port : m_ports) {
        port.release()->deleteLater(); // it may be inside one of its own signals
    }
    m_ports.clear();
    m_tiles.clear();
    m_stopping = false;
    setRunning(false);
    statusBar()->showMessage(tr("Stopped."));
}

void StationWindow::setRunning(bool running)
{
    ui->grpSetup->setEnabled(!running);
    ui->btnStart->setEnabled(!running);
    ui->btnStop->setEnabled(running);
    if (running) {
        m_rateTimer.start(kRateRefreshMs);
    } else {
        m_rateTimer.stop();
        m_discovery.stop();
    }
}

// The title bar's close button: a running download is not cut off without a question.
void StationWindow::closeEvent(QCloseEvent *event)
{
    if (downloading() && !Dialogs::question(this, tr("A download is running. Close the window anyway?"))) {
        event->ignore();
        return;
    }
    m_stopping = true;
    for (auto &port : m_ports) {
        port->interrupt();
    }
    event->accept();
}

} // namespace Station
