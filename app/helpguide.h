// Where the window's "Help" finds the guide pdf/help.pdf.
#pragma once

#include <QString>

namespace HelpGuide {

// programDir/pdf/help.pdf when it is a file (the place beside the program, the Windows bundle's
// layout and the build tree's), else programDir/../share/quorvane/pdf/help.pdf when that is one (an
// installed program: /usr/bin/Quorvane finds /usr/share/quorvane/pdf/help.pdf). When neither
// exists, the place beside the program, for the message that names it.
QString path(const QString &programDir);

} // namespace HelpGuide
