// The language list: English is built in, Chinese comes from the compiled-in translations (the
// window's own and Qt's). The choice is applied at once and remembered in config.ini.
#include "logging.h"
#include "mainwindow.h"
#include "settings.h"
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

    // Qt's own strings (a box's "OK", the file dialog) change with the window's.
    if (index != 0) {
        const bool loaded = m_Translator.load(QStringLiteral(":/language/Quorvane_zh_CN.qm"));
        Q_UNUSED(loaded) // compiled in; a failed load would just leave the English captions
        const bool qtLoaded = m_QtTranslator.load(QStringLiteral(":/language/qtbase_zh_CN.qm"));
        Q_UNUSED(qtLoaded)
        QCoreApplication::installTranslator(&m_QtTranslator);
        QCoreApplication::installTranslator(&m_Translator);
    } else {
        QCoreApplication::removeTranslator(&m_Translator);
        QCoreApplication::removeTranslator(&m_QtTranslator);
    }

    ui->retranslateUi(this);
    // The form's captions carry the English defaults; put back what the window itself sets.
    setWindowTitle(QStringLiteral("BMS"));
    ui->btn_openConsole->setText(m_PortOpen ? tr("Close Serial") : tr("Open Serial"));

    Settings::setLanguage(index);
}
