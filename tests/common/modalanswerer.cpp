#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
constexpr int kPollMs = 10; // ms between looks at the modal stack

QStringList shownCaptions(const QWidget *dialog)
{
    QStringList captions;
    for (const QWidget *w : dialog->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(dialog)) {
            continue;
        }
        if (const auto *button = qobject_cast<const QPushButton *>(w)) {
            captions.append(button->text());
        } else if (const auto *label = qobject_cast<const QLabel *>(w)) {
            if (!label->text().isEmpty()) {
                captions.append(label->text());
            }
        }
    }
    return captions;
}
} // namespace

ModalAnswerer::ModalAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::chooseFile(const QString &path)
{
    m_fileAnswers.append(path.isNull() ? QString(QLatin1String("")) : path);
}

void ModalAnswerer::cancelFile()
{
    m_fileAnswers.append(QString());
}

void ModalAnswerer::answerQuestion(bool yes)
{
    m_questionAnswers.append(yes);
}

QList<ModalAnswerer::Seen> ModalAnswerer::boxes() const
{
    QList<Seen> result;
    for (const Seen &s : m_seen) {
        if (s.kind == Seen::MessageBox) {
            result.append(s);
        }
    }
    return result;
}

QList<ModalAnswerer::Seen> ModalAnswerer::fileDialogs() const
{
    QList<Seen> result;
    for (const Seen &s : m_seen) {
        if (s.kind == Seen::FileDialog) {
            result.append(s);
        }
    }
    return result;
}

void ModalAnswerer::clear()
{
    m_seen.clear();
    m_fileAnswers.clear();
    m_questionAnswers.clear();
}

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    // Answering hides a dialog at once, so one seen again is still open for a reason (a file
    // dialog whose path did not exist stays open after its warning): it takes the next answer.
    if (modal == nullptr || !modal->isVisible()) {
        m_typedInto = nullptr; // closed, so it takes an answer if it opens again
        return;
    }
    if (modal == m_typedInto) {
        return; // its keys are still on their way
    }
    answer(modal);
}

void ModalAnswerer::answer(QWidget *modal)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        m_seen.append({Seen::MessageBox, box->windowTitle(), box->text(), QString(), QStringList()});
        m_seen.last().captions = shownCaptions(box);
        m_seen.last().informative = box->informativeText();
        if (m_beforeAnswer) {
            m_beforeAnswer(box);
        }
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (QAbstractButton *no = box->button(QMessageBox::No)) {
            const bool yes = !m_questionAnswers.isEmpty() && m_questionAnswers.takeFirst();
            ok = yes ? box->button(QMessageBox::Yes) : no;
        }
        if (ok == nullptr && !box->buttons().isEmpty()) {
            ok = box->buttons().constFirst();
        }
        if (ok != nullptr) {
            ok->click();
        } else {
            box->accept();
        }
        return;
    }
    if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        const QString path = m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.takeFirst();
        m_seen.append({Seen::FileDialog, dialog->windowTitle(), path, dialog->directory().absolutePath(),
                       dialog->nameFilters()});
        m_seen.last().captions = shownCaptions(dialog);
        if (m_beforeAnswer) {
            m_beforeAnswer(dialog);
        }
        if (path.isNull()) {
            dialog->reject();
            return;
        }
        if (m_fileTyper) {
            m_typedInto = dialog;
            m_fileTyper(dialog, path);
            return;
        }
        // Type the path as a user would; selectFile covers a dialog without the line edit.
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
            edit->setText(path);
        } else {
            dialog->selectFile(path);
        }
        static_cast<QDialog *>(dialog)->accept(); // public in QDialog, runs the file dialog's checks
        return;
    }
    // Any other modal dialog: close it so a test never hangs on it.
    if (auto *other = qobject_cast<QDialog *>(modal)) {
        m_seen.append({Seen::MessageBox, other->windowTitle(), QString(), QString(), QStringList()});
        other->reject();
    }
}
