// Renders the user guide (HTML kept in docs/help/) to the PDF that the window's "Help" opens.
//   quorvane_helpdoc <guide.html> <help.pdf>
// Needs no display: run it with QT_QPA_PLATFORM=offscreen.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>

namespace {
constexpr int kPdfDpi = 300;       // resolution of the PDF's layout
constexpr qreal kMarginMm = 18.0;  // page margins, mm
constexpr int kBodyPointSize = 10; // body text, pt
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
    QFont font(QStringLiteral("Sans Serif"), kBodyPointSize);
    font.setStyleHint(QFont::SansSerif);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&writer);

    if (QFile(args.at(2)).size() == 0) {
        err << "nothing written to " << args.at(2) << '\n';
        return 1;
    }
    return 0;
}
