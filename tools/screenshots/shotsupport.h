// What both screenshot tools need besides their scenes: the output folder from the command line, a
// widget's picture saved, and the program directory's files put back as they were found.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QString>
#include <QTextStream>
#include <QWidget>

namespace Shots {

// The folder the command line names, made when missing. Prints the usage or the failure and returns
// the exit code for it (2, 1), or 0 with *out set.
inline int outputFolder(const char *program, QDir *out)
{
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: " << program << " <output directory>\n";
        return 2;
    }
    *out = QDir(args.at(1));
    if (!QDir().mkpath(out->absolutePath())) {
        QTextStream(stderr) << "cannot create " << out->absolutePath() << '\n';
        return 1;
    }
    return 0;
}

// Saves the widget's picture at path once pending events (layouts, paints) are done; prints the path,
// or why it could not be written.
inline bool save(QWidget &widget, const QString &path)
{
    QCoreApplication::processEvents();
    const QPixmap shot = widget.grab();
    if (shot.isNull() || !shot.save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

// A file the tool starts without and leaves as it found it: taken away now, put back when this ends.
class KeptFile
{
public:
    explicit KeptFile(const QString &path) : m_path(path)
    {
        QFile file(path);
        m_existed = file.exists();
        if (m_existed && file.open(QIODevice::ReadOnly)) {
            m_bytes = file.readAll();
        }
        QFile::remove(path);
    }
    ~KeptFile()
    {
        QFile::remove(m_path);
        QFile file(m_path);
        if (m_existed && file.open(QIODevice::WriteOnly)) {
            file.write(m_bytes);
        }
    }
    KeptFile(const KeptFile &) = delete;
    KeptFile &operator=(const KeptFile &) = delete;

private:
    QString m_path;
    QByteArray m_bytes;
    bool m_existed = false;
};

} // namespace Shots
