// The language list: English is built in, Chinese comes from the compiled-in translation. The
// choice is applied at once and remembered in config.ini.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>

void MainWindow::on_cbxLanguage_currentIndexChanged(int index)
{
    // The list being filled at start-up makes index 0 current; that first change is not a choice.
    if (!m_bLanguageReady) {
        m_bLanguageReady = true;
        return;
    }
    qCDebug(lcApp).nospace() << "on_cbxLanguage_currentIndexChanged index=" << index;

    if (index != 0) {
        const bool loaded = m_Translator.load(QStringLiteral(":/language/Quorvane_zh_CN.qm"));
        Q_UNUSED(loaded) // compiled in; a failed load would just leave the English captions
        QCoreApplication::installTranslator(&m_Translator);
    } else {
        QCoreApplication::removeTranslator(&m_Translator);
    }

    ui->retranslateUi(this);
    // The form's captions carry the English defaults; put back what the window itself sets.
    setWindowTitle(QStringLiteral("BMS"));
    ui->btn_openConsole->setText(m_PortOpen ? tr("Close Serial") : tr("Open Serial"));

    Settings::setLanguage(index);
}
