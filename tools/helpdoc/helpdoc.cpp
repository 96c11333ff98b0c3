// Renders the user guide (HTML kept in docs/help/) to the PDF that the window's "Help" opens.
//   quorvane_helpdoc <guide.html> <help.pdf>
// Needs no display: run it with QT_QPA_PLATFORM=offscreen. It lays the pages out itself, with the
// page number at the foot, so that it can keep every table row whole on one page (Qt's rich text
// knows no page-break-inside: avoid); a row that still crosses a page stops the build.
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
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

namespace {
constexpr int kPdfDpi = 300;       // resolution of the PDF's layout
constexpr qreal kMarginMm = 18.0;  // page margins, mm
constexpr int kBodyPointSize = 10; // body text, pt
constexpr qreal kFooterMm = 8.0;   // the strip at the foot of each page that holds its number, mm
constexpr int kMaxRowMoves = 200;
constexpr qreal kQtReferenceDpi = 96.0; // the resolution of Qt's rich-text lengths, dots per inch  // rows
                                        // moved to a new page at most (a guard against a loop)

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
// page (a row taller than half a page, or the layout did not follow).
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
        if (height >= document.pageSize().height() / 2) {
            break; // moving it would leave a page half empty and may not help
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
    // The pages are the writer's printable area less the foot that holds the page number.
    const qreal footer = kFooterMm / 25.4 * writer.resolution();
    document.documentLayout()->setPaintDevice(&writer);
    document.setPageSize(QSizeF(writer.width(), writer.height() - footer));
    if (!paginate(document, err)) {
        return 1;
    }
    relayout(document);
    printPages(document, writer, footer);

    if (QFile(args.at(2)).size() == 0) {
        err << "nothing written to " << args.at(2) << '\n';
        return 1;
    }
    return 0;
}
