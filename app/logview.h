// The log list: lines wrap at any width, newest on top, and the list stays fast with tens of
// thousands of lines.
//
// Wrapped lines have different heights, so the list cannot take one row's size for all (it lays all
// rows out again on every insert). Each line's natural width is measured once, when it is added;
// the row delegate then answers a line that fits with the one cached line height, and measures only
// the few that wrap.
#pragma once

#include <QColor>
#include <QString>

class QListWidget;

namespace LogView {

void setUp(QListWidget *list);
// Puts text at the top of the list (row 0).
void addLine(QListWidget *list, const QString &text);
// The same for a notice: red and bold, so that it stands out from the lines around it (the
// completion line below an unconfirmed end above all).
void addNotice(QListWidget *list, const QString &text);
// The colour a notice is drawn in.
QColor noticeColour();

} // namespace LogView
