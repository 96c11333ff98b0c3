// Answers the window's modal message boxes and file dialogs while their exec() runs, the way a
// user would: a timer looks at QApplication::activeModalWidget() and acts on what it finds.
//
//   ModalAnswerer answerer;                  // starts watching at once
//   answerer.chooseFile("/tmp/fw/image.bin"); // the next file dialog gets this path typed and accepted
//   QTest::mouseClick(loadButton, Qt::LeftButton);
//   QCOMPARE(answerer.boxes().size(), 1);
//   QCOMPARE(answerer.boxes().first().title, "Warning");
//
// Message boxes are always recorded and answered with OK. File dialogs take the queued answers in
// order (chooseFile / cancelFile); with nothing queued a file dialog is cancelled. Every dialog
// seen is recorded, so a test can also check that none appeared.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QFileDialog;
class QWidget;

class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        enum Kind
        {
            MessageBox,
            FileDialog
        } kind;
        QString title;       // window title
        QString text;        // message box text; for a file dialog the path given (empty: cancelled)
        QString directory;   // file dialog only: the directory it opened in
        QStringList filters; // file dialog only: its name filters
        // The texts of its push buttons and labels, as shown: Qt's own ("OK", "Look in:") included.
        QStringList captions = {};
        QString informative = {}; // message box only: its informative text
    };

    explicit ModalAnswerer(QObject *parent = nullptr);
    ~ModalAnswerer() override;

    // The next file dialog gets path typed into its file name field and is accepted.
    void chooseFile(const QString &path);
    // The next file dialog is cancelled.
    void cancelFile();
    // The next Yes/No question gets this answer; a question with none queued gets No, its default.
    void answerQuestion(bool yes);
    // Called with each message box and file dialog just before it is answered (to take its picture,
    // say).
    void setBeforeAnswer(std::function<void(QWidget *dialog)> look) { m_beforeAnswer = std::move(look); }
    // A chosen path is typed by this instead, into the file dialog's own window, whose Return then
    // accepts it (the Windows checks post the keys as Windows messages); the dialog is left to close.
    void setFileTyper(std::function<void(QFileDialog *dialog, const QString &path)> type)
    {
        m_fileTyper = std::move(type);
    }

    const QList<Seen> &seen() const { return m_seen; }
    QList<Seen> boxes() const;       // the message boxes only, in order
    QList<Seen> fileDialogs() const; // the file dialogs only, in order
    int pendingFileAnswers() const { return m_fileAnswers.size(); }
    void clear(); // forgets what was seen and what was queued

private:
    void poll();
    void answer(QWidget *modal);

    QTimer m_timer;
    QList<QString> m_fileAnswers; // null string: cancel
    QList<bool> m_questionAnswers;
    QList<Seen> m_seen;
    std::function<void(QWidget *)> m_beforeAnswer;
    std::function<void(QFileDialog *, const QString &)> m_fileTyper;
    QPointer<QWidget> m_typedInto; // the file dialog the typer was given, until it closes
};
