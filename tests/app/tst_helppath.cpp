// "Help" asks the desktop to open pdf/help.pdf from the program's directory (or, for an installed
// program, from ../share/quorvane/pdf/), whatever the working directory, and the build places a real
// bilingual guide there.
#include "helpguide.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "tests/common/buildpaths.h"
#include "windowlookup.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

// The help traces are what this test checks: turn the window's category on, whatever the
// environment's logging rules say.
void enableAppTraces(QLoggingCategory *category)
{
    if (g_previousFilter != nullptr) {
        g_previousFilter(category);
    }
    if (qstrcmp(category->categoryName(), "quorvane.app") == 0) {
        category->setEnabled(QtDebugMsg, true);
    }
}

} // namespace

class TestHelpPath : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { m_opened.append(url); }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void guideLookedFor_data();
    void guideLookedFor();
    void opensFromProgramDirectory();
    void failureShowsWarning_data();
    void failureShowsWarning();
    void guideIsBuilt_data();
    void guideIsBuilt();

private:
    QString helpPath() const
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/pdf/help.pdf");
    }
    QList<QUrl> m_opened;
};

void TestHelpPath::initTestCase()
{
    g_previousFilter = QLoggingCategory::installFilter(enableAppTraces);
    QFile::remove(WindowLookup::configPath());
}

void TestHelpPath::init()
{
    m_opened.clear();
}

void TestHelpPath::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestHelpPath::guideLookedFor_data()
{
    QTest::addColumn<QStringList>("present"); // files made under the temporary root
    QTest::addColumn<QString>("chosen");
    const QString beside = QStringLiteral("usr/bin/pdf/help.pdf");
    const QString shared = QStringLiteral("usr/share/quorvane/pdf/help.pdf");
    QTest::newRow("beside the program (zip, build tree)") << QStringList{beside} << beside;
    QTest::newRow("installed: ../share/quorvane/pdf") << QStringList{shared} << shared;
    QTest::newRow("both: beside first") << QStringList{beside, shared} << beside;
    QTest::newRow("neither: the place beside, for the message") << QStringList() << beside;
    QTest::newRow("a folder, not a file, beside")
        << QStringList{QStringLiteral("usr/bin/pdf/help.pdf/x"), shared} << shared;
}

void TestHelpPath::guideLookedFor()
{
    QFETCH(QStringList, present);
    QFETCH(QString, chosen);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("usr/bin"))));
    for (const QString &file : qAsConst(present)) {
        QVERIFY(QDir().mkpath(QFileInfo(root.filePath(file)).path()));
        QFile made(root.filePath(file));
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    QCOMPARE(HelpGuide::path(root.filePath(QStringLiteral("usr/bin"))), root.filePath(chosen));
}

void TestHelpPath::opensFromProgramDirectory()
{
    // The desktop's handler for local files is this test; it records what it is asked to open.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));

    ModalAnswerer answerer;
    MainWindow w;
    QPushButton *help = w.findChild<QPushButton *>(QStringLiteral("btnPdf"));
    QVERIFY(help);
    QTest::ignoreMessage(QtDebugMsg, "PDF file opened successfully.");
    QTest::mouseClick(help, Qt::LeftButton);
    QTest::ignoreMessage(QtDebugMsg, "PDF file opened successfully.");
    QTest::mouseClick(help, Qt::LeftButton);
    QVERIFY(QDir::setCurrent(before));

    QCOMPARE(m_opened.size(), 2); // every click asks again
    for (const QUrl &url : qAsConst(m_opened)) {
        QVERIFY(url.isLocalFile());
        QCOMPARE(url, QUrl::fromLocalFile(helpPath()));
    }
    QVERIFY2(QFile::exists(m_opened.first().toLocalFile()), qPrintable(m_opened.first().toLocalFile()));
    QVERIFY(answerer.seen().isEmpty());
}

void TestHelpPath::failureShowsWarning_data()
{
    QTest::addColumn<bool>("guidePresent");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    const QString path = QDir::toNativeSeparators(helpPath());
    QTest::newRow("no viewer")
        << true << QStringLiteral("No program to open PDF files was found. The guide is %1.").arg(path)
        << QStringLiteral("未找到可打开PDF文件的程序。使用说明位于%1。").arg(path);
    QTest::newRow("no guide") << false << QStringLiteral("The help document %1 cannot be opened.").arg(path)
                              << QStringLiteral("无法打开帮助文档%1。").arg(path);
}

// The offscreen platform has no document viewer: the desktop reports failure, and the user is told
// whether the guide is missing or only a program to show it, in either language.
void TestHelpPath::failureShowsWarning()
{
    QFETCH(bool, guidePresent);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    const QString aside = helpPath() + QStringLiteral(".aside");
    if (!guidePresent) {
        QVERIFY(QFile::rename(helpPath(), aside));
    }
    ModalAnswerer answerer;
    MainWindow w;
    QPushButton *help = w.findChild<QPushButton *>(QStringLiteral("btnPdf"));
    QTest::ignoreMessage(QtDebugMsg, "Failed to open PDF file.");
    QTest::mouseClick(help, Qt::LeftButton);
    w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(1);
    QTest::ignoreMessage(QtDebugMsg, "Failed to open PDF file.");
    QTest::mouseClick(help, Qt::LeftButton);
    w.findChild<QComboBox *>(QStringLiteral("cbxLanguage"))->setCurrentIndex(0);
    QFile::remove(WindowLookup::configPath());
    if (!guidePresent) {
        QVERIFY(QFile::rename(aside, helpPath()));
    }
    QVERIFY(m_opened.isEmpty());
    QCOMPARE(answerer.boxes().size(), 2);
    QCOMPARE(answerer.boxes().first().title, QStringLiteral("Warning"));
    QCOMPARE(answerer.boxes().first().text, english);
    QCOMPARE(answerer.boxes().last().text, chinese);
}

void TestHelpPath::guideIsBuilt_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("beside Quorvane") << QString::fromUtf8(quorvaneBuiltHelpPdf);
    QTest::newRow("beside this test") << helpPath();
}

void TestHelpPath::guideIsBuilt()
{
    QFETCH(QString, path);
    QFile pdf(path);
    QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray content = pdf.readAll();
    QVERIFY(content.startsWith("%PDF-"));
    QVERIFY(content.trimmed().endsWith("%%EOF"));
    // Several pages, and a CJK font embedded for the Chinese half.
    QVERIFY(content.count("/Type /Page\n") >= 2);
    QVERIFY(content.contains("WenQuanYi"));
}

QTEST_MAIN(TestHelpPath)
#include "tst_helppath.moc"
