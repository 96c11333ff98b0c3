// The user guide's content: every message the window can show is explained in both languages,
// Chinese is never slanted, the example version is the one README and the pack simulator use, the
// built PDF carries a real CJK face, and its first page is the contents, with a jump to every
// heading of both parts (so Help opens on a page for either language).
#include "tests/common/buildpaths.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The guide's two halves, split at the Chinese title (the contents page before both goes with the
// English half).
struct Guide
{
    QString english;
    QString chinese;
};

Guide readGuide()
{
    const QString html =
        readText(QString::fromUtf8(quorvaneSourceDir) + QStringLiteral("/docs/help/guide.html"));
    const int split = html.indexOf(QStringLiteral("<h1 id=\"zh\""));
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

// The built PDF's objects, each in its last version (the renderer appends an update to the file
// Qt wrote: a later "N 0 obj" replaces an earlier one).
class PdfObjects
{
public:
    explicit PdfObjects(const QByteArray &pdf) : m_pdf(pdf)
    {
        const QByteArray head = " 0 obj\n";
        for (int at = pdf.indexOf(head); at >= 0; at = pdf.indexOf(head, at + 1)) {
            const int line = pdf.lastIndexOf('\n', at) + 1;
            bool number = false;
            const int n = pdf.mid(line, at - line).toInt(&number);
            if (number && line > 0) {
                m_at.insert(n, at + head.size());
            }
        }
    }
    QByteArray object(int number) const
    {
        const int at = m_at.value(number, -1);
        return at < 0 ? QByteArray() : m_pdf.mid(at, m_pdf.indexOf("\nendobj", at) - at);
    }
    QList<int> numbers() const { return m_at.keys(); }
    // The catalog, named by the last trailer.
    int root() const
    {
        const QString trailer = QString::fromLatin1(m_pdf.mid(m_pdf.lastIndexOf("trailer")));
        return QRegularExpression(QStringLiteral("/Root (\\d+) 0 R")).match(trailer).captured(1).toInt();
    }

private:
    QByteArray m_pdf;
    QMap<int, int> m_at; // object number: where its last version's body begins
};

// The "N 0 R" references in text, in order.
QList<int> references(const QByteArray &text)
{
    QList<int> numbers;
    static const QRegularExpression reference(QStringLiteral("(\\d+) 0 R"));
    for (auto it = reference.globalMatch(QString::fromLatin1(text)); it.hasNext();) {
        numbers.append(it.next().captured(1).toInt());
    }
    return numbers;
}

// The text of a dictionary entry that is an array ("/Kids [...]") or a reference to one.
QByteArray arrayEntry(const PdfObjects &pdf, const QByteArray &dictionary, const QString &key)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("/%1\\s*(\\[[^\\]]*\\]|(\\d+) 0 R)").arg(key))
            .match(QString::fromLatin1(dictionary));
    if (!m.hasMatch()) {
        return QByteArray();
    }
    return m.captured(2).isEmpty() ? m.captured(1).toLatin1() : pdf.object(m.captured(2).toInt());
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
    void contentsPageLinksBothParts();

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
    QTest::newRow("README") << readText(QString::fromUtf8(quorvaneSourceDir) + QStringLiteral("/README.md"));
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
    QFile pdf(QString::fromUtf8(quorvaneBuiltHelpPdf));
    QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(pdf.fileName()));
    // Embedded fonts are named /FontName /ABCDEF+Family: the Chinese half needs a CJK one.
    QVERIFY(pdf.readAll().contains("+WenQuanYiMicroHei"));
}

void TestHelpGuide::contentsPageLinksBothParts()
{
    QFile file(QString::fromUtf8(quorvaneBuiltHelpPdf));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const PdfObjects pdf(file.readAll());
    const QByteArray catalog = pdf.object(pdf.root());
    QVERIFY(!catalog.isEmpty());
    const QRegularExpressionMatch pagesRef =
        QRegularExpression(QStringLiteral("/Pages (\\d+) 0 R")).match(QString::fromLatin1(catalog));
    QVERIFY(pagesRef.hasMatch());
    const QList<int> pages =
        references(arrayEntry(pdf, pdf.object(pagesRef.captured(1).toInt()), QStringLiteral("Kids")));
    QVERIFY(pages.size() >= 3);

    // The named destinations: every heading the guide links to, on its page (counted from 0).
    QMap<QString, int> destinations;
    const int dests = catalog.indexOf("/Dests");
    QVERIFY2(dests >= 0, "the catalog names no destinations");
    static const QRegularExpression destination(QStringLiteral("/([A-Za-z0-9_-]+) \\[(\\d+) 0 R"));
    const QString table = QString::fromLatin1(catalog.mid(dests, catalog.indexOf(">>", dests) - dests));
    for (auto it = destination.globalMatch(table); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        destinations.insert(m.captured(1), pages.indexOf(m.captured(2).toInt()));
    }
    // Both parts begin after the contents page, the English one first.
    QVERIFY(destinations.contains(QStringLiteral("en")));
    QVERIFY(destinations.contains(QStringLiteral("zh")));
    const int english = destinations.value(QStringLiteral("en"));
    const int chinese = destinations.value(QStringLiteral("zh"));
    QCOMPARE(english, 1);
    QVERIFY(chinese > english);
    for (auto it = destinations.cbegin(); it != destinations.cend(); ++it) {
        const bool inChinese = it.key().startsWith(QLatin1String("zh"));
        QVERIFY2(it.value() >= (inChinese ? chinese : english), qPrintable(it.key()));
        QVERIFY2(inChinese || it.value() < chinese, qPrintable(it.key()));
    }

    // Page 1 jumps to every one of them, in both parts.
    QSet<QString> linked;
    static const QRegularExpression jump(QStringLiteral("/S /GoTo\\s*/D /([A-Za-z0-9_-]+)"));
    for (int annotation : references(arrayEntry(pdf, pdf.object(pages.first()), QStringLiteral("Annots")))) {
        const QRegularExpressionMatch m = jump.match(QString::fromLatin1(pdf.object(annotation)));
        if (m.hasMatch()) {
            linked.insert(m.captured(1));
        }
    }
    for (auto it = destinations.cbegin(); it != destinations.cend(); ++it) {
        QVERIFY2(linked.contains(it.key()), qPrintable(QStringLiteral("page 1 has no link to ") + it.key()));
    }
    QVERIFY(destinations.size() >= 2 * 9 + 2);

    // No link inside the guide is left as a web address ("#name") a viewer would not follow.
    for (int number : pdf.numbers()) {
        QVERIFY2(!pdf.object(number).contains("/URI (#"), qPrintable(QString::number(number)));
    }
}

QTEST_MAIN(TestHelpGuide)
#include "tst_helpguide.moc"
