// The user guide's content: every message the window can show is explained in both languages,
// Chinese is never slanted, the example version is the one README and the pack simulator use, and
// the built PDF carries a real CJK face.
#include <QFile>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The guide's two halves, split at the Chinese title.
struct Guide
{
    QString english;
    QString chinese;
};

Guide readGuide()
{
    const QString html = readText(QStringLiteral(QUORVANE_SOURCE_DIR "/docs/help/guide.html"));
    const int split = html.indexOf(QStringLiteral("<h1>Quorvane — 用户指南</h1>"));
    if (split < 0) {
        return {};
    }
    return {html.left(split), html.mid(split)};
}

// Whether text holds message, its %1, %2 ... standing for anything, the rest in order.
bool holdsMessage(const QString &text, const QString &message)
{
    int from = 0;
    const QStringList parts = message.split(QRegularExpression(QStringLiteral("%\\d")));
    for (const QString &part : parts) {
        const int at = text.indexOf(part.toHtmlEscaped(), from);
        if (at < 0) {
            return false;
        }
        from = at + part.toHtmlEscaped().size();
    }
    return true;
}

} // namespace

class TestHelpGuide : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messageExplained_data();
    void messageExplained();
    void noItalics();
    void exampleVersion_data();
    void exampleVersion();
    void pdfHasCjkFace();

private:
    Guide m_guide;
};

void TestHelpGuide::initTestCase()
{
    m_guide = readGuide();
    QVERIFY(!m_guide.english.isEmpty());
    QVERIFY(!m_guide.chinese.isEmpty());
}

void TestHelpGuide::messageExplained_data()
{
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    // The window's own translation gives the Chinese of the messages it has.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/language/Quorvane_zh_CN.qm")));
    // Every message the window can show, with the Chinese the program itself shows for it.
    const char *const translated[] = {
        "Please open the serial port first!",
        "Please click to obtain the version number first",
        "The version number of the upgraded file does not match the actual version number",
        "File is too short, upgrade failed",
        "File is too large, upgrade failed",
        "File open failed, upgrade failed",
        ":  Update completed",
        "Please load a firmware file first!",
        "A download is running. Load a file when it has finished.",
        "A download is running. Get the version when it has finished.",
        "The pack has not reported its version. Download %1 anyway?",
        "A download is running. Close the window anyway?",
        "The help document %1 cannot be opened.",
        "Cannot open %1: %2",
        "The pack did not answer the start of the download. Check the cable and the baud rate, then "
        "press Start DownLoad again.",
        "No answer from the pack for package %1 in %2 s. Check the cable, then press Start DownLoad to "
        "begin again.",
        "The pack did not confirm the end of the download. Press Get Version to see which firmware it runs.",
        "The pack did not report its version. Check the cable and the baud rate, then press Get Version "
        "again.",
        "The download record could not be written: %1",
        "The serial port was lost during the download. Reconnect, open the port and press Start "
        "DownLoad again.",
        "The file's path must contain %1.",
        "No program to open PDF files was found. The guide is %1.",
        "The port is in use by %1. Close that program, then press Open Serial again.",
        "The port is in use by another program. Close it, then press Open Serial again.",
        "Your user must be in the group that owns %1 (%2); add it and log in again.",
        "A download is running. Stop it and start again from the first package?",
        "A download is running. Close the port and stop it?",
    };
    for (const char *source : translated) {
        QTest::newRow(source) << QString::fromUtf8(source) << translator.translate("MainWindow", source);
    }
}

void TestHelpGuide::messageExplained()
{
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QVERIFY(!chinese.isEmpty() && chinese != english);
    QVERIFY2(holdsMessage(m_guide.english, english), qPrintable(english));
    QVERIFY2(holdsMessage(m_guide.chinese, chinese), qPrintable(chinese));
}

void TestHelpGuide::noItalics()
{
    // A CJK font has no italic face: anything slanted would be a fake. Emphasis is weight or colour.
    const QRegularExpression slanted(QStringLiteral("<(i|em|var|cite|dfn|address)[\\s>]|font-style\\s*:\\s*"
                                                    "(italic|oblique)"),
                                     QRegularExpression::CaseInsensitiveOption);
    QCOMPARE(slanted.match(m_guide.english + m_guide.chinese).captured(0), QString());
}

void TestHelpGuide::exampleVersion_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("guide, English") << m_guide.english;
    QTest::newRow("guide, Chinese") << m_guide.chinese;
    QTest::newRow("README") << readText(QStringLiteral(QUORVANE_SOURCE_DIR "/README.md"));
}

void TestHelpGuide::exampleVersion()
{
    // The version the pack simulator reports by default, and its first 12 characters.
    QFETCH(QString, text);
    QVERIFY(text.contains(QStringLiteral("BMS_V2.1.07_2026")));
    QVERIFY(text.contains(QStringLiteral("BMS_V2.1.07_")));
    // No other version-like example: every "XXX_V<digits>..." names the same one.
    const QRegularExpression version(QStringLiteral("[A-Z0-9]+[_-]V\\d+\\.[0-9A-Za-z._-]*"));
    for (auto it = version.globalMatch(text); it.hasNext();) {
        const QString found = it.next().captured(0);
        QVERIFY2(found.startsWith(QStringLiteral("BMS_V2.1.07_")), qPrintable(found));
    }
}

void TestHelpGuide::pdfHasCjkFace()
{
    QFile pdf(QStringLiteral(QUORVANE_BUILT_HELP_PDF));
    QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(pdf.fileName()));
    // Embedded fonts are named /FontName /ABCDEF+Family: the Chinese half needs a CJK one.
    QVERIFY(pdf.readAll().contains("+WenQuanYiMicroHei"));
}

QTEST_MAIN(TestHelpGuide)
#include "tst_helpguide.moc"
