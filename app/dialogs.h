// Every modal box and file dialog of the window goes through here: one place to keep them alike,
// and one place a test can find them (they are real, non-native Qt dialogs, so a test answers them
// as a user would, from a timer, while exec() runs).
#pragma once

#include <QString>

class QWidget;

namespace Dialogs {

// Warning box titled "Warning" (translated) with one OK button; texts already translated. The
// informative text, when given, stands below the text and says what is needed.
void warning(QWidget *parent, const QString &text, const QString &informative = QString());
// Information box titled "Information" (translated) with one OK button; text already translated.
void information(QWidget *parent, const QString &text);
// Question box titled "Warning" (translated) with Yes and No, No the default; true for Yes.
bool question(QWidget *parent, const QString &text);
// Single existing file; empty when cancelled.
QString openFile(QWidget *parent, const QString &caption, const QString &dir, const QString &filter);
// An existing folder; empty when cancelled.
QString openFolder(QWidget *parent, const QString &caption, const QString &dir);

} // namespace Dialogs
