#include "cli/console.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace console {

namespace {

// Set from a signal handler (Linux) or from a thread the system starts (Windows).
std::atomic<bool> stopflag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

#ifdef Q_OS_WIN

BOOL WINAPI onctrl(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        stopflag = true;
        return TRUE; // handled: the process goes on
    }
    return FALSE;
}

HANDLE handleof(Stream stream)
{
    return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// A console answers GetConsoleMode; a file, a pipe and NUL do not (_isatty says yes to NUL).
bool isconsole(HANDLE h)
{
    DWORD mode;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

#else

extern "C" void onsigint(int)
{
    stopflag = true;
}

#endif

FILE* fileof(Stream stream)
{
    return stream == Stream::Out ? stdout : stderr;
}

bool writebytes(Stream stream, QByteArrayView bytes)
{
    FILE* f = fileof(stream);
    if (!bytes.isEmpty() && std::fwrite(bytes.data(), 1, size_t(bytes.size()), f) != size_t(bytes.size()))
        return false;
    return std::fflush(f) == 0 && !std::ferror(f);
}

} // namespace

void setup()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onctrl, TRUE);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#else
    struct sigaction sa = {};
    sa.sa_handler = onsigint;
    sigemptyset(&sa.sa_mask);
    // Interrupted waits are resumed: the serial channel's waits run to their own limits and the
    // command looks at the flag afterwards.
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);

    struct sigaction ign = {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    sigaction(SIGPIPE, &ign, nullptr);
#endif
}

bool interrupted()
{
    return stopflag;
}

bool isterminal(Stream stream)
{
#ifdef Q_OS_WIN
    return isconsole(handleof(stream));
#else
    return isatty(fileno(fileof(stream))) != 0;
#endif
}

bool write(Stream stream, QByteArrayView utf8)
{
#ifdef Q_OS_WIN
    const HANDLE h = handleof(stream);
    if (isconsole(h)) {
        // Whatever the C library still holds goes first, so the order stays as written.
        std::fflush(fileof(stream));
        const QString text = QString::fromUtf8(utf8);
        const wchar_t* p = reinterpret_cast<const wchar_t*>(text.utf16());
        qsizetype left = text.size();
        while (left > 0) {
            // Old consoles refuse long writes: a piece at a time.
            DWORD piece = DWORD(qMin<qsizetype>(left, 8192));
            if (piece < left && QChar::isHighSurrogate(p[piece - 1]))
                --piece; // a pair stays whole
            DWORD done = 0;
            if (!WriteConsoleW(h, p, piece, &done, nullptr) || done == 0)
                return false;
            p += done;
            left -= done;
        }
        return true;
    }
#endif
    return writebytes(stream, utf8);
}

} // namespace console
