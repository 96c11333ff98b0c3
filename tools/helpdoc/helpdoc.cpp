// Renders the user guide (HTML kept in docs/help/) to the PDF that the window's "Help" opens.
//   quorvane_helpdoc <guide.html> <help.pdf>
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextStream>
#include <QUrl>

namespace {
constexpr int kPdfDpi = 300;       // resolution of the PDF's layout
constexpr qreal kMarginMm = 18.0;  // page margins, mm
constexpr int kBodyPointSize = 10; // body text, pt

// Loads every picture the guide names (relative to the guide's folder) into the document, so that
// a missing one stops the build instead of leaving a hole in the PDF.
bool addImages(QTextDocument &document, const QDir &base, QTextStream &err)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) {
                continue;
            }
            const QString name = format.toImageFormat().name();
            const QImage image(base.filePath(name));
            if (image.isNull()) {
                err << "cannot load the picture " << base.filePath(name) << '\n';
                return false;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(name), image);
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 3) {
        err << "usage: quorvane_helpdoc <guide.html> <help.pdf>\n";
        return 2;
    }
    QFile in(args.at(1));
    if (!in.open(QIODevice::ReadOnly)) {
        err << "cannot read " << args.at(1) << ": " << in.errorString() << '\n';
        return 1;
    }
    const QString html = QString::fromUtf8(in.readAll());

    QPdfWriter writer(args.at(2));
    writer.setResolution(kPdfDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("Quorvane - User guide / 用户指南"));
    writer.setCreator(QStringLiteral("quorvane_helpdoc"));

    QTextDocument document;
    // Chinese falls back to the system's CJK face, upright: the guide uses no italics.
    QFont font(QStringLiteral("DejaVu Sans"), kBodyPointSize);
    font.setStyleHint(QFont::SansSerif);
    document.setDefaultFont(font);
    // <code> asks for Courier New, which a Linux build machine rarely has.
    document.setDefaultStyleSheet(QStringLiteral("code { font-family: 'DejaVu Sans Mono'; }"));
    document.setHtml(html);
    if (!addImages(document, QFileInfo(args.at(1)).absoluteDir(), err)) {
        return 1;
    }
    document.print(&writer);

    if (QFile(args.at(2)).size() == 0) {
        err << "nothing written to " << args.at(2) << '\n';
        return 1;
    }
    return 0;
}
