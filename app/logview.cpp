#include "logview.h"

#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QtMath>

namespace {

constexpr int kNaturalWidthRole = Qt::UserRole + 1; // px the line takes on one row
constexpr int kAnyHeightPx = 1 << 16;               // px, more than any line needs

// The width a line needs on one row, laid out as the style lays out a row's text.
int naturalWidth(const QString &text, const QFont &font)
{
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal width = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(1e6);
        width = qMax(width, line.naturalTextWidth());
    }
    layout.endLayout();
    return qCeil(width);
}

class LineDelegate : public QStyledItemDelegate
{
public:
    explicit LineDelegate(QListWidget *list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QWidget *viewport = m_list->viewport();
        const int margin = m_list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1;
        const int available = viewport->width() - 2 * m_list->spacing();
        const QVariant measured = index.data(kNaturalWidthRole);
        if (measured.isValid() && measured.toInt() + 2 * margin <= available) {
            if (m_lineHeight < 0) {
                m_lineHeight = QStyledItemDelegate::sizeHint(option, index).height();
            }
            return QSize(measured.toInt() + 2 * margin, m_lineHeight);
        }
        QStyleOptionViewItem wrapped = option;
        wrapped.rect = QRect(0, 0, available, kAnyHeightPx); // a valid rect: the style wraps in it
        wrapped.features |= QStyleOptionViewItem::WrapText;
        const QSize size = QStyledItemDelegate::sizeHint(wrapped, index);
        return QSize(qMin(size.width(), available), size.height());
    }

private:
    QListWidget *m_list;
    mutable int m_lineHeight = -1;
};

} // namespace

namespace LogView {

void setUp(QListWidget *list)
{
    list->setUniformItemSizes(false);
    list->setWordWrap(true);
    list->setTextElideMode(Qt::ElideNone);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setItemDelegate(new LineDelegate(list));
}

void addLine(QListWidget *list, const QString &text)
{
    auto *item = new QListWidgetItem(text);
    item->setData(kNaturalWidthRole, naturalWidth(text, list->font()));
    list->insertItem(0, item);
}

void addNotice(QListWidget *list, const QString &text)
{
    QFont bold = list->font();
    bold.setBold(true);
    auto *item = new QListWidgetItem(text);
    item->setFont(bold);
    item->setForeground(noticeColour());
    item->setData(kNaturalWidthRole, naturalWidth(text, bold)); // bold runs wider
    list->insertItem(0, item);
}

QColor noticeColour()
{
    return QColor(200, 0, 0);
}

} // namespace LogView
