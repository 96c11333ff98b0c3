#include "versiontext.h"

namespace Download {

namespace {

constexpr int kMinVersionChars = 4; // a shorter version ("." or "b1d") names no firmware

// Characters that may not reach a terminal raw: control characters, the bidirectional marks and
// other format characters (U+202E), and the line and paragraph separators (U+2028, U+2029).
bool unprintable(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

bool versionUsable(const QString &version)
{
    if (version.trimmed().size() < kMinVersionChars) {
        return false;
    }
    bool letterOrDigit = false;
    for (const QChar c : version) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || unprintable(c)) {
            return false;
        }
        letterOrDigit = letterOrDigit || c.isLetterOrNumber();
    }
    return letterOrDigit;
}

QString printableVersion(const QString &version)
{
    QString text;
    for (const QChar c : version) {
        if (c == QLatin1Char('\\')) {
            text += QStringLiteral("\\\\");
        } else if (unprintable(c)) {
            text += c.unicode() <= 0xFF ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                        : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            text += c;
        }
    }
    return text;
}

} // namespace Download
