// The guided tour: open the port, read the version, load a demo image, download it, in English and
// in Chinese, with a screenshot at each step.
//   QT_QPA_PLATFORM=offscreen quorvane-tour [--out DIR]
// Exits 0 only when both passes completed and the simulated pack received the image byte for byte.
// The settings file of its own program directory is left as it was found.
#include "settings.h"
#include "tourdriver.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Keeps config.ini of the program directory as it was before the tour.
class ConfigGuard
{
public:
    ConfigGuard() : m_path(Settings::configPath())
    {
        QFile file(m_path);
        m_existed = file.open(QIODevice::ReadOnly);
        if (m_existed) {
            m_bytes = file.readAll();
            file.close();
            QFile::remove(m_path);
        }
    }
    ~ConfigGuard()
    {
        QFile::remove(m_path);
        QFile file(m_path);
        if (m_existed && file.open(QIODevice::WriteOnly)) {
            file.write(m_bytes);
        }
    }
    ConfigGuard(const ConfigGuard &) = delete;
    ConfigGuard &operator=(const ConfigGuard &) = delete;

private:
    QString m_path;
    QByteArray m_bytes;
    bool m_existed = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives the updater through a whole download "
                                                    "against the pack simulator, with screenshots."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder for the screenshots."),
                                       QStringLiteral("DIR"), QStringLiteral("tour"));
    parser.addOption(outOption);
    parser.process(app);

    const QDir outDir(parser.value(outOption));
    QTemporaryDir work;
    if (!QDir().mkpath(outDir.absolutePath()) || !work.isValid()) {
        QTextStream(stderr) << "tour: cannot create " << outDir.absolutePath() << " or a scratch folder\n";
        return 1;
    }

    ConfigGuard guard;
    TourDriver tour(outDir, work.path());
    bool ok = true;
    for (const char *language : {"en", "zh"}) {
        ok = tour.run(QString::fromLatin1(language)) && ok;
    }
    QTextStream(stdout) << (ok ? "tour: every step done, image verified byte for byte\n" : "tour: FAILED\n");
    return ok ? 0 : 1;
}
