// What the station window shows of the ports' results: the tiles' results, the totals since
// Start, the history, the sound, the firmware folder's summary and the language.
#include "dialogs.h"
#include "firmwarechoice.h"
#include "firmwarefolder.h"
#include "outcometext.h"
#include "porttile.h"
#include "settings.h"
#include "stationwindow.h"
#include "ui_stationwindow.h"

#include <QApplication>
#include <QDir>
#include <QTableWidgetItem>

namespace Station {

namespace {

constexpr int kBeepGapMs = 250;          // ms between the beeps of a failure
constexpr int kFailBeeps = 3;            // beeps for a pack that did not pass
constexpr qint64 kRateMinimumMs = 60000; // ms since Start before packs per hour mean anything
constexpr double kMsPerHour = 3600000.0;
constexpr int kPercent = 100;

enum HistoryColumn
{
    kTimeColumn,
    kPortColumn,
    kVersionColumn,
    kFileColumn,
    kOutcomeColumn,
    kSecondsColumn,
};

} // namespace

void StationWindow::onPackDone(Download::StationPort *port, const Download::PortResult &result)
{
    TileResult shown;
    shown.outcome = result.outcome;
    shown.version = result.record.packVersion;
    shown.versionAfter =
        result.record.versionAfter.isEmpty() ? port->row().versionAfter : result.record.versionAfter;
    if (result.outcome == Download::Outcome::NotFlashed) {
        ++m_notFlashed;
        shown.candidates = result.candidates.size();
    } else if (Download::passed(result.outcome)) {
        ++m_passed;
    } else {
        ++m_failed;
    }
    if (PortTile *tile = m_tiles.value(port)) {
        tile->showResult(shown);
    }
    addHistory(historyEntry(result.record));
    showTotals();
    beep(Download::passed(result.outcome) ? 1 : kFailBeeps);
}

void StationWindow::beep(int times)
{
    QApplication::beep();
    for (int i = 1; i < times; ++i) {
        QTimer::singleShot(i * kBeepGapMs, this, [] { QApplication::beep(); });
    }
}

void StationWindow::showTotals()
{
    ui->lblPassed->setText(tr("Passed: %1").arg(m_passed));
    ui->lblFailed->setText(tr("Failed: %1").arg(m_failed));
    ui->lblNotFlashed->setText(tr("Not flashed: %1").arg(m_notFlashed));
    const int packs = m_passed + m_failed + m_notFlashed;
    const qint64 ms = m_since.isValid() ? m_since.elapsed() : 0;
    ui->lblRate->setText(ms < kRateMinimumMs ? tr("Packs per hour: -")
                                             : tr("Packs per hour: %1").arg(qRound(packs * kMsPerHour / ms)));
    const int flashed = m_passed + m_failed;
    ui->lblPassRate->setText(flashed == 0
                                 ? tr("Pass rate: -")
                                 : tr("Pass rate: %1 %").arg(qRound(m_passed * 1.0 * kPercent / flashed)));
}

void StationWindow::addHistory(const HistoryEntry &entry)
{
    m_history.prepend(entry);
    while (m_history.size() > kHistoryRows) {
        m_history.removeLast();
    }
    showHistory();
}

// A file below the firmware folder by its path there, any other in full.
QString StationWindow::shownFile(const QString &file) const
{
    const QString dir = QDir::fromNativeSeparators(ui->leFirmwareDir->text().trimmed());
    const QString path = QDir::fromNativeSeparators(file);
    if (dir.isEmpty() || !path.startsWith(QDir(dir).absolutePath() + QLatin1Char('/'))) {
        return file;
    }
    return QDir::toNativeSeparators(QDir(dir).relativeFilePath(path));
}

void StationWindow::showHistory()
{
    QTableWidget *table = ui->historyTable;
    table->setRowCount(m_history.size());
    for (int row = 0; row < m_history.size(); ++row) {
        const HistoryEntry &e = m_history.at(row);
        const QString texts[] = {e.ended.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                 e.port,
                                 e.version,
                                 shownFile(e.file),
                                 e.outcome,
                                 QString::number(e.seconds, 'f', 1)};
        for (int column = kTimeColumn; column <= kSecondsColumn; ++column) {
            table->setItem(row, column, new QTableWidgetItem(texts[column]));
        }
        // The record's name stays in the cell; its line, in the window's language, is the tooltip.
        Download::Outcome outcome = Download::Outcome::Confirmed;
        if (Download::outcomeFromName(e.outcome, &outcome)) {
            table->item(row, kOutcomeColumn)->setToolTip(outcomeLine(outcome));
        }
    }
    table->resizeColumnsToContents();
}

// Before anything is flashed: how many files for how many versions, and in red the files one
// version would pick together (a pack of that version is not flashed).
void StationWindow::showFolder()
{
    const QString dir = QDir::fromNativeSeparators(ui->leFirmwareDir->text().trimmed());
    if (dir.isEmpty()) {
        ui->lblFolderSummary->setText(tr("Choose the folder that holds the firmware files."));
        ui->lblFolderClash->clear();
        ui->lblFolderClash->setVisible(false);
        return;
    }
    const FolderSummary summary = summarizeFolder(dir);
    if (!summary.problem.isEmpty()) {
        ui->lblFolderSummary->clear();
        ui->lblFolderClash->setText(summary.problem);
        ui->lblFolderClash->setVisible(true);
        return;
    }
    QString text;
    if (summary.files == 0) {
        text = tr("No firmware files (*.bin, *.sorrel) in this folder.");
    } else {
        const QString files =
            summary.files == 1 ? tr("1 firmware file") : tr("%1 firmware files").arg(summary.files);
        const QString versions =
            summary.versions == 1 ? tr("1 version") : tr("%1 versions").arg(summary.versions);
        text = tr("%1 for %2").arg(files, versions);
        if (summary.unnamed > 0) {
            text += tr("; %1 without a version in its name").arg(summary.unnamed);
        }
    }
    ui->lblFolderSummary->setText(text);
    ui->lblFolderSummary->setToolTip(
        tr("A pack gets the one file whose path below this folder holds the first 12 characters of "
           "its version."));
    QStringList clashes;
    for (const FirmwareClash &clash : summary.clashes) {
        QStringList named;
        for (const QString &file : clash.files) {
            named << QDir::toNativeSeparators(QDir(dir).relativeFilePath(file));
        }
        clashes << tr("%1 files for version %2...: %3. A pack of that version is not flashed.")
                       .arg(clash.files.size())
                       .arg(clash.key, named.join(tr(" and ")));
    }
    ui->lblFolderClash->setText(clashes.join(QLatin1Char('\n')));
    ui->lblFolderClash->setVisible(!clashes.isEmpty());
}

// English is built in; Chinese is the station's own translation, Quorvane's (the shared boxes'
// titles) and Qt's (the boxes' buttons, the file dialog). Applied at once and remembered.
void StationWindow::onLanguage(int index)
{
    if (index != 0) {
        const bool loaded = m_translator.load(QStringLiteral(":/language/QuorvaneStation_zh_CN.qm")) &&
                            m_appTranslator.load(QStringLiteral(":/language/Quorvane_zh_CN.qm")) &&
                            m_qtTranslator.load(QStringLiteral(":/language/qtbase_zh_CN.qm"));
        Q_UNUSED(loaded) // compiled in; a failed load would only leave the English captions
        QCoreApplication::installTranslator(&m_qtTranslator);
        QCoreApplication::installTranslator(&m_appTranslator);
        QCoreApplication::installTranslator(&m_translator);
    } else {
        QCoreApplication::removeTranslator(&m_translator);
        QCoreApplication::removeTranslator(&m_appTranslator);
        QCoreApplication::removeTranslator(&m_qtTranslator);
    }
    Settings::setLanguage(index);
    retranslate();
}

void StationWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        retranslate();
    }
}

void StationWindow::retranslate()
{
    ui->retranslateUi(this);
    showFolder();
    showTotals();
}

} // namespace Station
