// Where quorvane-flash's lines go, and the signals that end a run.
//
// Progress lines and the summary go to standard output, or to standard error when standard output
// carries the JSON report (--json -). A write that fails (a closed pipe: `| head -1`, a terminal
// gone) ends that stream quietly for the rest of the run: the downloads go on to their outcomes and
// the report is still written. SIGPIPE is ignored so that such a write fails instead of killing
// the program; SIGINT, SIGTERM and SIGHUP are counted and looked at from the event loop.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace Flash {

class Console
{
public:
    explicit Console(bool reportOnStdout);

    void line(const QString &text);  // a progress or summary line (text may hold several)
    void error(const QString &text); // on standard error
    // The JSON report on standard output; false, with *error set, when it did not get there whole.
    bool report(const QByteArray &bytes, QString *error);
    void flush();
    bool terminal() const { return m_terminal; } // the line stream is a terminal
    int columns() const; // the terminal's width in characters; 0 when unknown or not a terminal

private:
    static bool put(std::FILE *stream, const QByteArray &bytes, bool *failed);

    std::FILE *m_lines;
    bool m_terminal = false;
    bool m_lineFailed = false;
    bool m_errorFailed = false;
};

// Ignores SIGPIPE and counts SIGINT, SIGTERM and SIGHUP.
void installSignalHandlers();
// How many of those signals arrived so far, and the last one (0 before any).
int signalCount();
int lastSignal();
// The exit code of a run a signal ended: 129 after SIGHUP, 130 otherwise.
int exitCodeForSignal(int signal);

} // namespace Flash
