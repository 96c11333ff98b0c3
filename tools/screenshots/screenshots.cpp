// Grabs the updater's window offscreen, in English and in Chinese, for the documentation.
//   QT_QPA_PLATFORM=offscreen quorvane_screenshots <output directory>
// writes window-en.png and window-zh.png there. Starts from no settings (English) and leaves the
// settings file of its own program directory as it found it.
#include "app/mainwindow.h"
#include "app/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTextStream>

namespace {

bool save(QWidget &window, const QString &path)
{
    QCoreApplication::processEvents();
    const QPixmap shot = window.grab();
    if (shot.isNull() || !shot.save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: quorvane_screenshots <output directory>\n";
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.absolutePath())) {
        QTextStream(stderr) << "cannot create " << out.absolutePath() << '\n';
        return 1;
    }

    const QString config = Settings::configPath();
    QByteArray savedConfig;
    const bool hadConfig = QFile::exists(config);
    if (hadConfig) {
        QFile file(config);
        if (file.open(QIODevice::ReadOnly)) {
            savedConfig = file.readAll();
        }
        QFile::remove(config);
    }

    int rc = 0;
    {
        MainWindow window;
        window.show();
        if (!save(window, out.filePath(QStringLiteral("window-en.png")))) {
            rc = 1;
        }
        window.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(1);
        if (!save(window, out.filePath(QStringLiteral("window-zh.png")))) {
            rc = 1;
        }
    }

    QFile::remove(config);
    if (hadConfig) {
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(savedConfig);
        }
    }
    return rc;
}
