#include "helpguide.h"

#include <QDir>
#include <QFileInfo>

namespace HelpGuide {

QString path(const QString &programDir)
{
    const QDir dir(programDir);
    const QString beside = dir.filePath(QStringLiteral("pdf/help.pdf"));
    const QString shared = QDir::cleanPath(dir.filePath(QStringLiteral("../share/quorvane/pdf/help.pdf")));
    if (!QFileInfo(beside).isFile() && QFileInfo(shared).isFile()) {
        return shared;
    }
    return beside;
}

} // namespace HelpGuide
