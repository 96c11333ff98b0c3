// Grabs the updater's window offscreen, in English and in Chinese, for the documentation.
//   QT_QPA_PLATFORM=offscreen quorvane_screenshots <output directory>
// writes window-en.png and window-zh.png there, and, in Chinese, a warning box (zh-messagebox.png)
// and the file dialog of "Load File" (zh-filedialog.png). Starts from no settings (English) and
// leaves the settings file of its own program directory as it found it.
#include "mainwindow.h"
#include "modalanswerer.h"
#include "settings.h"
#include "shotsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

using Shots::save;

// Clicks a button of the window and grabs the modal dialog it opens, which is then answered as the
// tests answer it (a box with OK, a file dialog cancelled).
bool saveModal(QWidget &window, const char *button, const QString &path, const QSize &size)
{
    bool saved = false;
    ModalAnswerer answerer;
    answerer.setBeforeAnswer([&](QWidget *dialog) {
        if (size.isValid()) {
            dialog->resize(size);
        }
        saved = save(*dialog, path);
    });
    window.findChild<QPushButton *>(QLatin1String(button))->click(); // returns when the dialog closes
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    // The file dialog opens on the desktop: a made-up one holding a folder named after a version.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/engineer-XXXXXX"));
    const QString firmwareDir = home.path() + QStringLiteral("/Desktop/BMS_V2.1.07_");
    QDir().mkpath(firmwareDir);
    QFile placeholder(firmwareDir + QStringLiteral("/BMS_V2.1.07_2026.bin"));
    const bool created = placeholder.open(QIODevice::WriteOnly); // an empty file is enough to be listed
    Q_UNUSED(created)
    placeholder.close();
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");

    QApplication app(argc, argv);
    QDir out;
    if (const int failed = Shots::outputFolder("quorvane_screenshots", &out)) {
        return failed;
    }
    const Shots::KeptFile config(Settings::configPath());

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
        // No version known yet: "Load File" warns.
        if (!saveModal(window, "btnFileLoad", out.filePath(QStringLiteral("zh-messagebox.png")), QSize())) {
            rc = 1;
        }
        Settings::setVersion(QStringLiteral("BMS_V2.1.07_2026"));
        if (!saveModal(window, "btnFileLoad", out.filePath(QStringLiteral("zh-filedialog.png")),
                       QSize(800, 420))) {
            rc = 1;
        }
    }

    return rc;
}
