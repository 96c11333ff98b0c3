#include "dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

void showBox(QWidget *parent, QMessageBox::Icon icon, const char *title, const QString &text,
             const QString &informative = QString())
{
    QMessageBox box(icon, QCoreApplication::translate("MainWindow", title), text, QMessageBox::Ok, parent);
    box.setInformativeText(informative);
    box.exec();
}

} // namespace

namespace Dialogs {

void warning(QWidget *parent, const QString &text, const QString &informative)
{
    showBox(parent, QMessageBox::Warning, QT_TRANSLATE_NOOP("MainWindow", "Warning"), text, informative);
}

void information(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Information, QT_TRANSLATE_NOOP("MainWindow", "Information"), text);
}

bool question(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, QCoreApplication::translate("MainWindow", "Warning"), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString openFile(QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

QString openFolder(QWidget *parent, const QString &caption, const QString &dir)
{
    QFileDialog dialog(parent, caption, dir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList folders = dialog.selectedFiles();
    return folders.isEmpty() ? QString() : folders.constFirst();
}

} // namespace Dialogs
