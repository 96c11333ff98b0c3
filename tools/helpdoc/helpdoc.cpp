// Renders the user guide (HTML kept in docs/help/) to the PDF that the window's "Help" opens.
//   quorvane_helpdoc <guide.html> <help.pdf>
// Needs no display: run it with QT_QPA_PLATFORM=offscreen. It lays the pages out itself, with the
// page number at the foot, so that it can keep every table row whole on one page (Qt's rich text
// knows no page-break-inside: avoid); a row that still crosses a page stops the build.
// Links inside the guide (<a href="#name"> to an id="name" or <a name="name">) become jumps to the
// named destination "name" in the PDF, and a link whose whole text is "#" shows the number of the
// page its target is on (the contents page); a link to a name the guide does not have stops the
// build.
#include <QAbstractTextDocumentLayout>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextStream>
#include <QTextTable>
#include <QUrl>
#include <QtMath>

#include <memory>

namespace {
constexpr int kPdfDpi = 300;            // resolution of the PDF's layout
constexpr qreal kMarginMm = 18.0;       // page margins, mm
constexpr int kBodyPointSize = 10;      // body text, pt
constexpr qreal kFooterMm = 8.0;        // the strip at the foot of each page that holds its number, mm
constexpr int kMaxRowMoves = 200;       // rows moved to a new page at most (a guard against a loop)
constexpr qreal kQtReferenceDpi = 96.0; // the resolution of Qt's rich-text lengths, dots per inch
constexpr int kMaxNumberingPasses = 4;  // lay-outs at most until the contents' page numbers hold
constexpr qreal kPointsPerInch = 72.0;  // PDF user space
constexpr qreal kAboveTargetPt = 6.0;   // a jump shows this much of the page above its target, pt

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

// The vertical extent of a table row, in document coordinates: from the top of its highest cell's
// first block to the bottom of its lowest cell's last block.
QPair<qreal, qreal> rowExtent(QTextDocument &document, QTextTable *table, int row)
{
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    qreal top = 1e12;
    qreal bottom = -1e12;
    for (int column = 0; column < table->columns(); ++column) {
        const QTextTableCell cell = table->cellAt(row, column);
        const QTextBlock first = cell.firstCursorPosition().block();
        const QTextBlock last = cell.lastCursorPosition().block();
        top = qMin(top, layout->blockBoundingRect(first).top());
        bottom = qMax(bottom, layout->blockBoundingRect(last).bottom());
    }
    return {top, bottom};
}

QList<QTextTable *> tablesOf(const QTextDocument &document)
{
    QList<QTextTable *> tables;
    const QList<QTextFrame *> frames = document.rootFrame()->childFrames();
    for (QTextFrame *frame : frames) {
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            tables.append(table);
        }
    }
    return tables;
}

// The first row (after the header) that crosses a page boundary, as the table and the row; nullptr
// when every row lies on one page.
QTextTable *rowAcrossPages(QTextDocument &document, int *row, qreal *spaceLeft)
{
    const qreal pageHeight = document.pageSize().height();
    for (QTextTable *table : tablesOf(document)) {
        for (int r = 1; r < table->rows(); ++r) {
            const QPair<qreal, qreal> extent = rowExtent(document, table, r);
            const int firstPage = int(extent.first / pageHeight);
            if (int(extent.second / pageHeight) != firstPage) {
                *row = r;
                *spaceLeft = (firstPage + 1) * pageHeight - extent.first;
                return table;
            }
        }
    }
    return nullptr;
}

// Lays the whole document out anew. Qt lays out lazily and, after a change of format, may leave
// later blocks where they were: every measurement and the drawing start from a fresh layout.
void relayout(QTextDocument &document)
{
    document.markContentsDirty(0, document.characterCount());
    document.size(); // finishes the layout
}

// A heading that would end a page, its text beginning the next, begins that page instead. True
// when one was moved.
bool keepHeadingsWithText(QTextDocument &document)
{
    bool moved = false;
    const qreal pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlock next = block.next();
        if (block.blockFormat().headingLevel() == 0 || !next.isValid() ||
            block.blockFormat().pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore) {
            continue;
        }
        const int page = int(layout->blockBoundingRect(block).top() / pageHeight);
        // Where the first line of the text after it ends.
        const QTextLine first = next.layout()->lineCount() > 0 ? next.layout()->lineAt(0) : QTextLine();
        const QRectF nextRect = layout->blockBoundingRect(next);
        const qreal firstBottom =
            first.isValid() ? nextRect.top() + first.y() + first.height() : nextRect.bottom();
        if (int(firstBottom / pageHeight) > page) {
            QTextBlockFormat format = block.blockFormat();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
            moved = true;
        }
    }
    return moved;
}

// Moves every row that would cross a page boundary to the next page, the way Qt moves a row none of
// whose lines fits: the row before it grows (bottom padding) to the foot of the page. Each table
// repeats its header row on the pages it goes on to; no heading ends a page. False when a row still crosses a
// page (a row taller than a page, or the layout did not follow).
bool paginate(QTextDocument &document, QTextStream &err)
{
    // A table that goes on over a page repeats its header row there.
    for (QTextTable *table : tablesOf(document)) {
        QTextTableFormat format = table->format();
        format.setHeaderRowCount(1);
        table->setFormat(format);
    }
    // Paddings are given in pixels of Qt's reference resolution and scaled to the writer's.
    const qreal deviceScale = document.documentLayout()->paintDevice()->logicalDpiY() / kQtReferenceDpi;
    int row = 0;
    qreal spaceLeft = 0;
    for (int moves = 0; moves < kMaxRowMoves; ++moves) {
        relayout(document);
        if (keepHeadingsWithText(document)) {
            continue;
        }
        QTextTable *table = rowAcrossPages(document, &row, &spaceLeft);
        if (table == nullptr) {
            return true;
        }
        const qreal height = rowExtent(document, table, row).second - rowExtent(document, table, row).first;
        if (height >= document.pageSize().height()) {
            break; // taller than a page: no move can keep it whole
        }
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell above = table->cellAt(row - 1, column);
            QTextTableCellFormat format = above.format().toTableCellFormat();
            format.setBottomPadding(format.bottomPadding() + spaceLeft / deviceScale);
            above.setFormat(format);
        }
    }
    relayout(document);
    int r = 0;
    if (QTextTable *table = rowAcrossPages(document, &r, &spaceLeft)) {
        const QTextTableCell cell = table->cellAt(r, 0);
        err << "a table row still crosses a page: \"" << cell.firstCursorPosition().block().text().left(60)
            << "\"\n";
        return false;
    }
    return true;
}

// Draws the laid-out pages, each with its number at the foot on the right.
void printPages(QTextDocument &document, QPdfWriter &writer, qreal footer)
{
    QPainter painter(&writer);
    const QSizeF page = document.pageSize();
    const int pages = qCeil(document.size().height() / page.height());
    painter.setFont(document.defaultFont());
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            writer.newPage();
        }
        painter.save();
        painter.setClipRect(QRectF(QPointF(0, 0), page));
        painter.translate(0, -i * page.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, i * page.height(), page.width(), page.height());
        document.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.drawText(QRectF(0, page.height(), page.width(), footer), Qt::AlignRight | Qt::AlignBottom,
                         QString::number(i + 1));
    }
}

// A place a link can jump to: where its text begins, and after the lay-out, the page (from 0) and
// how far below the page's top, in device units.
struct Target
{
    QTextCursor at;
    int page = 0;
    qreal y = 0;
};
using Targets = QMap<QString, Target>;

// A link whose whole text is "#": it shows the number of the page its target is on.
struct PageNumberLink
{
    QTextCursor text; // selects the number (the "#" at first)
    QString target;
};

// Names a PDF can carry as they are (a name object), and an HTML id can be.
bool plainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return plain.match(name).hasMatch();
}

// Every anchor name's place. Qt's PDF writer would draw an empty link over an anchor's text (it
// keeps the anchor of an id or <a name> as a link to ""): the anchor is taken off that text.
Targets takeTargets(QTextDocument &document)
{
    Targets targets;
    QList<QPair<QTextCursor, QTextCharFormat>> unanchor;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            const QStringList names = format.anchorNames();
            if (names.isEmpty()) {
                continue;
            }
            QTextCursor at(&document);
            at.setPosition(fragment.position());
            for (const QString &name : names) {
                if (!targets.contains(name)) {
                    targets.insert(name, Target{at});
                }
            }
            if (format.anchorHref().isEmpty()) {
                QTextCursor text(&document);
                text.setPosition(fragment.position());
                text.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                format.clearProperty(QTextFormat::IsAnchor);
                format.clearProperty(QTextFormat::AnchorName);
                unanchor.append({text, format});
            }
        }
    }
    for (const auto &text : qAsConst(unanchor)) {
        QTextCursor(text.first).setCharFormat(text.second);
    }
    return targets;
}

// Every link inside the guide must name a target; the links whose text is "#" are returned.
bool checkLinks(QTextDocument &document, const Targets &targets, QList<PageNumberLink> *numbers, int *links,
                QTextStream &err)
{
    *links = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString href = fragment.charFormat().anchorHref();
            if (!href.startsWith(QLatin1Char('#'))) {
                continue;
            }
            const QString name = href.mid(1);
            if (!targets.contains(name) || !plainName(name)) {
                err << "the link " << href << " (\"" << fragment.text() << "\") has no target in the guide\n";
                return false;
            }
            ++*links;
            if (fragment.text() == QLatin1String("#")) {
                QTextCursor text(&document);
                text.setPosition(fragment.position());
                text.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                numbers->append({text, name});
            }
        }
    }
    return true;
}

// Where each target lies in the laid-out pages.
void placeTargets(QTextDocument &document, Targets &targets)
{
    const qreal pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    for (Target &target : targets) {
        const QTextBlock block = target.at.block();
        const QTextLine line = block.layout()->lineForTextPosition(target.at.position() - block.position());
        const qreal top = layout->blockBoundingRect(block).top() + (line.isValid() ? line.y() : 0.0);
        target.page = int(top / pageHeight);
        target.y = top - target.page * pageHeight;
    }
}

// Writes each target's page number (counted from 1) into the links that show it. True when a
// number changed, and the pages must be laid out again.
bool numberPages(QList<PageNumberLink> &numbers, const Targets &targets)
{
    bool changed = false;
    for (PageNumberLink &link : numbers) {
        const QString number = QString::number(targets.value(link.target).page + 1);
        if (link.text.selectedText() == number) {
            continue;
        }
        const QTextCharFormat format = link.text.charFormat();
        const int start = link.text.selectionStart();
        link.text.insertText(number, format);
        link.text.setPosition(start);
        link.text.setPosition(start + number.size(), QTextCursor::KeepAnchor);
        changed = true;
    }
    return changed;
}

// A target as a PDF destination: its page (from 0) and the height in points, from the page's
// foot, that the viewer shows at the top of the window.
struct Destination
{
    int page = 0;
    qreal top = 0;
};

// The byte after the "N 0 obj\n" of object N, or -1.
int objectBody(const QByteArray &pdf, int number)
{
    const QByteArray head = '\n' + QByteArray::number(number) + " 0 obj\n";
    const int at = pdf.lastIndexOf(head);
    return at < 0 ? -1 : at + head.size();
}

// Qt's PDF writer makes a link to "#name" an annotation that opens the URI "#name", which viewers
// do not follow inside the file. An update appended to the PDF (the bytes Qt wrote stay as they
// are) gives each such annotation the action "go to the named destination name" instead, and the
// catalog the destinations: the page and the height of each target.
bool linkInside(const QString &path, const QMap<QString, Destination> &destinations, int links,
                QTextStream &err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "cannot read " << path << " again: " << file.errorString() << '\n';
        return false;
    }
    const QByteArray pdf = file.readAll();
    file.close();
    // The last trailer: the size, the catalog, the information and where the cross-reference is.
    const QRegularExpression trailerPattern(
        QStringLiteral("trailer\\s*<<(.*)>>\\s*startxref\\s*(\\d+)\\s*%%EOF\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString tail = QString::fromLatin1(pdf.mid(pdf.lastIndexOf("trailer")));
    const QRegularExpressionMatch trailer = trailerPattern.match(tail);
    const QRegularExpressionMatch root =
        QRegularExpression(QStringLiteral("/Root (\\d+) 0 R")).match(trailer.captured(1));
    const QRegularExpressionMatch info =
        QRegularExpression(QStringLiteral("/Info (\\d+) 0 R")).match(trailer.captured(1));
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("/Size (\\d+)")).match(trailer.captured(1));
    // The pages in their order.
    const QRegularExpressionMatch kids =
        QRegularExpression(QStringLiteral("/Kids\\s*\\[([\\d\\sR]*)\\]"))
            .match(QString::fromLatin1(pdf.mid(pdf.lastIndexOf("/Type /Pages"))));
    QList<int> pages;
    for (auto it = QRegularExpression(QStringLiteral("(\\d+) 0 R")).globalMatch(kids.captured(1));
         it.hasNext();) {
        pages.append(it.next().captured(1).toInt());
    }
    if (!trailer.hasMatch() || !root.hasMatch() || !size.hasMatch() || pages.isEmpty()) {
        err << "cannot find the trailer or the pages in " << path << '\n';
        return false;
    }
    QMap<int, QByteArray> objects; // number: new body
    int replaced = 0;
    const QByteArray uri = "/URI (#";
    for (int at = pdf.indexOf(uri); at >= 0; at = pdf.indexOf(uri, at + 1)) {
        const int end = pdf.indexOf(')', at);
        const QByteArray name = pdf.mid(at + uri.size(), end - at - uri.size());
        const int head = pdf.lastIndexOf(" 0 obj\n", at);
        const int line = pdf.lastIndexOf('\n', head) + 1;
        const int body = head + 7;
        const int bodyEnd = pdf.indexOf("\nendobj", at);
        bool ok = false;
        const int number = pdf.mid(line, head - line).toInt(&ok);
        if (!ok || end < 0 || bodyEnd < 0 || !destinations.contains(QString::fromLatin1(name))) {
            err << "cannot turn the link to #" << name << " into a jump inside " << path << '\n';
            return false;
        }
        QByteArray text = pdf.mid(body, bodyEnd - body);
        text.replace("/S /URI", "/S /GoTo");
        text.replace(uri + name + ')', "/D /" + name);
        objects.insert(number, text);
        ++replaced;
    }
    if (replaced == 0 && links > 0) {
        err << "the PDF writer left no link annotation for the guide's " << links << " links\n";
        return false;
    }
    const int rootNumber = root.captured(1).toInt();
    const int catalog = objectBody(pdf, rootNumber);
    const int catalogEnd = pdf.indexOf("\nendobj", catalog);
    QByteArray catalogText = pdf.mid(catalog, catalogEnd - catalog);
    QByteArray dests = "/Dests <<\n";
    for (auto it = destinations.cbegin(); it != destinations.cend(); ++it) {
        dests += '/' + it.key().toLatin1() + " [" + QByteArray::number(pages.value(it.value().page)) +
                 " 0 R /XYZ null " + QByteArray::number(it.value().top, 'f', 2) + " null]\n";
    }
    dests += ">>\n";
    const int close = catalogText.lastIndexOf(">>");
    if (catalog < 0 || catalogEnd < 0 || close < 0 || catalogText.contains("/Dests")) {
        err << "cannot find the catalog of " << path << '\n';
        return false;
    }
    catalogText.insert(close, dests);
    objects.insert(rootNumber, catalogText);

    QByteArray update = "\n";
    QByteArray xref = "xref\n";
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const qint64 offset = pdf.size() + update.size();
        update += QByteArray::number(it.key()) + " 0 obj\n" + it.value() + "\nendobj\n";
        xref += QByteArray::number(it.key()) + " 1\n" + QByteArray::number(offset).rightJustified(10, '0') +
                " 00000 n \n";
    }
    const qint64 xrefAt = pdf.size() + update.size();
    update += xref + "trailer\n<<\n/Size " + size.captured(1).toLatin1() + "\n/Root " +
              QByteArray::number(rootNumber) + " 0 R\n" +
              (info.hasMatch() ? "/Info " + info.captured(1).toLatin1() + " 0 R\n" : QByteArray()) +
              "/Prev " + trailer.captured(2).toLatin1() + "\n>>\nstartxref\n" + QByteArray::number(xrefAt) +
              "\n%%EOF\n";
    if (!file.open(QIODevice::Append) || file.write(update) != update.size() || !file.flush()) {
        err << "cannot write the links into " << path << ": " << file.errorString() << '\n';
        return false;
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

    auto writer = std::make_unique<QPdfWriter>(args.at(2));
    writer->setResolution(kPdfDpi);
    writer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
    writer->setTitle(QStringLiteral("Quorvane - User guide / 用户指南"));
    writer->setCreator(QStringLiteral("quorvane_helpdoc"));

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
    Targets targets = takeTargets(document);
    QList<PageNumberLink> numbers;
    int links = 0;
    if (!checkLinks(document, targets, &numbers, &links, err)) {
        return 1;
    }
    // The pages are the writer's printable area less the foot that holds the page number.
    const qreal footer = kFooterMm / 25.4 * writer->resolution();
    document.documentLayout()->setPaintDevice(writer.get());
    document.setPageSize(QSizeF(writer->width(), writer->height() - footer));
    // The contents' page numbers are written once the pages are laid out; the numbers lie on the
    // contents page alone, so a second lay-out normally finds them right.
    for (int pass = 0;; ++pass) {
        if (!paginate(document, err)) {
            return 1;
        }
        placeTargets(document, targets);
        if (!numberPages(numbers, targets)) {
            break;
        }
        if (pass + 1 == kMaxNumberingPasses) {
            err << "the contents' page numbers do not settle\n";
            return 1;
        }
    }
    relayout(document);
    printPages(document, *writer, footer);
    // Where each target lies, in the PDF's points from the foot of its page.
    const qreal pointsPerDot = kPointsPerInch / writer->resolution();
    const QPageLayout page = writer->pageLayout();
    const qreal pageTop = page.fullRectPoints().height() - page.paintRectPoints().top();
    QMap<QString, Destination> destinations;
    for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
        const qreal top = qMin(pageTop - it.value().y * pointsPerDot + kAboveTargetPt,
                               qreal(page.fullRectPoints().height()));
        destinations.insert(it.key(), Destination{it.value().page, top});
    }
    document.documentLayout()->setPaintDevice(nullptr);
    writer.reset(); // the PDF is complete and closed

    if (QFile(args.at(2)).size() == 0) {
        err << "nothing written to " << args.at(2) << '\n';
        return 1;
    }
    if (!linkInside(args.at(2), destinations, links, err)) {
        return 1;
    }
    return 0;
}
