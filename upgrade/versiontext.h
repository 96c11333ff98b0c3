// What a version a pack reports may be: the rule that a version can be flashed by, and how it is
// printed where a terminal or a log shows it.
#pragma once

#include <QString>

namespace Download {

// Whether a version can be flashed by: at least 4 characters besides blanks, a letter or digit
// among them, no path separator, no control, format (bidirectional) or line-separator character.
// Any other version counts as not reported.
bool versionUsable(const QString &version);
// The version as printed: control, format and line-separator characters (and the backslash)
// escaped, \xNN or \uNNNN.
QString printableVersion(const QString &version);

} // namespace Download
