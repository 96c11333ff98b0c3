#include "console.h"

#include "options.h"
#include "reportfile.h"

#include <csignal>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#define QUORVANE_ISATTY(fd) _isatty(fd)
#define QUORVANE_FILENO(f) _fileno(f)
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define QUORVANE_ISATTY(fd) isatty(fd)
#define QUORVANE_FILENO(f) fileno(f)
#endif

namespace Flash {

namespace {

volatile std::sig_atomic_t g_signalCount = 0;
volatile std::sig_atomic_t g_lastSignal = 0;

extern "C" void onSignal(int signal)
{
    g_lastSignal = signal;
    g_signalCount = g_signalCount + 1;
}

} // namespace

Console::Console(bool reportOnStdout)
    : m_lines(reportOnStdout ? stderr : stdout), m_terminal(QUORVANE_ISATTY(QUORVANE_FILENO(m_lines)) != 0)
{
}

bool Console::put(std::FILE *stream, const QByteArray &bytes, bool *failed)
{
    if (*failed) {
        return false;
    }
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream) !=
            static_cast<size_t>(bytes.size()) ||
        std::fflush(stream) != 0) {
        *failed = true; // quietly: nobody reads this stream any more
        return false;
    }
    return true;
}

int Console::columns() const
{
    if (!m_terminal) {
        return 0;
    }
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = GetStdHandle(m_lines == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (GetConsoleScreenBufferInfo(handle, &info)) {
        return info.srWindow.Right - info.srWindow.Left + 1;
    }
    return 0;
#else
    winsize size{};
    if (ioctl(QUORVANE_FILENO(m_lines), TIOCGWINSZ, &size) == 0) {
        return size.ws_col;
    }
    return 0;
#endif
}

void Console::line(const QString &text)
{
    put(m_lines, text.toLocal8Bit(), &m_lineFailed);
}

void Console::error(const QString &text)
{
    put(stderr, text.toLocal8Bit(), &m_errorFailed);
}

bool Console::report(const QByteArray &bytes, QString *error)
{
    return writeReportStream(stdout, bytes, error);
}

void Console::flush()
{
    std::fflush(stdout);
    std::fflush(stderr);
}

void installSignalHandlers()
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::signal(SIGINT, onSignal);
#ifdef SIGTERM
    std::signal(SIGTERM, onSignal);
#endif
#ifdef SIGHUP
    std::signal(SIGHUP, onSignal);
#endif
}

int signalCount()
{
    return g_signalCount;
}

int lastSignal()
{
    return g_lastSignal;
}

int exitCodeForSignal(int signal)
{
#ifdef SIGHUP
    if (signal == SIGHUP) {
        return kExitHangUp;
    }
#endif
    Q_UNUSED(signal)
    return kExitInterrupted;
}

} // namespace Flash
