// The log's cost per line with tens of thousands of lines: the window's list (wrapped rows of
// different heights, app/logview.h) against a list of uniform rows and against wrapped rows measured
// by the stock delegate. Offscreen, run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/log/log_bench [lines]   (default 20000)
// Prints, for each list, the milliseconds one more line costs (insert, layout and paint) at that
// length, the median of 200 lines.
#include "logview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QString line(int n)
{
    if (n % 500 == 0) { // now and then a notice that wraps
        return QStringLiteral(
                   "12:00:00.000:  No answer from the pack for package %1 in 5 s. Check the cable, "
                   "then press Start DownLoad to begin again.")
            .arg(n);
    }
    return QStringLiteral("12:00:00.000\t Sent package:%1, total:65535 packages.").arg(n);
}

double msPerLine(QListWidget &list, int lines, const std::function<void(int)> &add)
{
    list.resize(615, 300);
    list.show();
    for (int n = 0; n < lines; ++n) {
        add(n);
    }
    QApplication::processEvents();
    std::vector<double> costs;
    QElapsedTimer clock;
    for (int n = lines; n < lines + 200; ++n) {
        clock.start();
        add(n);
        QApplication::processEvents(); // the delayed layout and the paint
        list.repaint();
        costs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::nth_element(costs.begin(), costs.begin() + 100, costs.end());
    return costs[100];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20000;
    QTextStream out(stdout);

    QListWidget window;
    LogView::setUp(&window);
    out << "window's log (wrapped):           "
        << msPerLine(window, lines, [&](int n) { LogView::addLine(&window, line(n)); }) << " ms/line\n";

    QListWidget uniform;
    uniform.setUniformItemSizes(true);
    out << "uniform rows (cut, scroll bar):   "
        << msPerLine(uniform, lines, [&](int n) { uniform.insertItem(0, line(n)); }) << " ms/line\n";

    QListWidget stock;
    stock.setWordWrap(true);
    stock.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    out << "wrapped, stock delegate:          "
        << msPerLine(stock, lines, [&](int n) { stock.insertItem(0, line(n)); }) << " ms/line\n";
    out << "(" << lines << " lines)\n";
    return 0;
}
