#include "tourdriver.h"

#include "eventwait.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "packsimulator.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextStream>

namespace {

constexpr qint64 kDemoImageBytes = 100000; // bytes: 49 packets
constexpr int kStepTimeoutMs = 15000;      // ms a step may take before the tour gives up

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

template <typename T> T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

} // namespace

TourDriver::TourDriver(const QDir &outDir, const QString &workDir) : m_out(outDir), m_work(workDir) {}

bool TourDriver::fail(const QString &what)
{
    QTextStream(stderr) << "tour: " << what << '\n';
    return false;
}

void TourDriver::shot(QWidget &window, const QString &language, int step, const QString &name)
{
    QCoreApplication::processEvents();
    const QString path =
        m_out.filePath(QStringLiteral("tour-%1-%2-%3.png").arg(language).arg(step).arg(name));
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "tour: cannot write " << path << '\n';
        return;
    }
    out() << "  screenshot " << path << Qt::endl;
}

bool TourDriver::run(const QString &language)
{
    PackSim::PackSimulator pack;
    if (!pack.openPty()) {
        return fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(pack.errorString()));
    }
    const QString folder = m_work + QLatin1Char('/') + pack.versionText().left(12);
    const QString imagePath = folder + QStringLiteral("/demo_firmware.bin");
    QString error;
    if (!QDir().mkpath(folder) || !PackSim::writeFirmwareFile(imagePath, kDemoImageBytes, 7, &error)) {
        return fail(QStringLiteral("cannot write the demo image: %1").arg(error));
    }
    QFile imageFile(imagePath);
    if (!imageFile.open(QIODevice::ReadOnly)) {
        return fail(QStringLiteral("cannot read back %1").arg(imagePath));
    }
    const QByteArray fileBytes = imageFile.readAll();

    out() << "[" << language << "] pack simulator on " << pack.slavePath() << ", version "
          << pack.versionText() << Qt::endl;

    MainWindow window;
    window.setExtraPort(pack.slavePath());
    window.show();
    child<QComboBox>(window, "cbxLanguage")->setCurrentIndex(language == QLatin1String("zh") ? 1 : 0);
    auto *log = child<QListWidget>(window, "listWidget");
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, log,
                     [log](const QModelIndex &, int first) {
                         out() << "  log: " << log->item(first)->text() << Qt::endl;
                     });
    shot(window, language, 1, QStringLiteral("start"));

    QTest::mouseClick(child<QPushButton>(window, "btn_openConsole"), Qt::LeftButton);
    auto *version = child<QLineEdit>(window, "leVer");
    if (!EventWait::until([version] { return !version->text().isEmpty(); }, kStepTimeoutMs)) {
        return fail(QStringLiteral("no version shown after opening the port"));
    }
    out() << "  version shown: " << version->text() << Qt::endl;
    shot(window, language, 2, QStringLiteral("version"));

    // The file dialog gets the path typed and accepted, as a user would; a message box that shows
    // up is reported and closed, so the tour never hangs on it.
    ModalAnswerer answerer;
    answerer.setBeforeAnswer([](QWidget *box) {
        if (auto *message = qobject_cast<QMessageBox *>(box)) {
            QTextStream(stderr) << "tour: unexpected message: " << message->text() << '\n';
        }
    });
    answerer.chooseFile(imagePath);
    QTest::mouseClick(child<QPushButton>(window, "btnFileLoad"), Qt::LeftButton);
    auto *progress = child<QProgressBar>(window, "progressBar");
    if (log->count() != 1 || progress->maximum() != PackSim::packetCountFor(fileBytes.size())) {
        return fail(QStringLiteral("the demo image was not loaded"));
    }
    shot(window, language, 3, QStringLiteral("loaded"));

    QTest::mouseClick(child<QPushButton>(window, "btnStart"), Qt::LeftButton);
    const int half = progress->maximum() / 2;
    if (!EventWait::until([progress, half] { return progress->value() >= half; }, kStepTimeoutMs)) {
        return fail(QStringLiteral("the download did not get under way"));
    }
    shot(window, language, 4, QStringLiteral("downloading"));

    const QString completed = QCoreApplication::translate("MainWindow", ":  Update completed");
    const auto done = [log, completed] {
        return log->count() > 0 && log->item(0)->text().endsWith(completed);
    };
    if (!EventWait::until(done, kStepTimeoutMs)) {
        return fail(QStringLiteral("no completion line in the log"));
    }
    shot(window, language, 5, QStringLiteral("completed"));

    if (pack.imagesWritten() != 1 || pack.image() != PackSim::expectedImage(fileBytes)) {
        return fail(QStringLiteral("the image the pack received differs from the file"));
    }
    if (pack.violationCount() != 0) {
        return fail(QStringLiteral("the pack saw protocol violations: %1")
                        .arg(pack.violations().join(QStringLiteral("; "))));
    }
    out() << "  the pack received " << pack.image().size()
          << " bytes, equal to the file plus its zero padding" << Qt::endl;
    return true;
}
