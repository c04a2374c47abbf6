#include "cli/console.h"

#include <QtGlobal>

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

volatile std::sig_atomic_t stopflag = 0;

#ifdef Q_OS_WIN

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI onctrl(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        stopflag = 1;
        return TRUE; // handled: the process goes on
    }
    return FALSE;
}

#else

extern "C" void onsigint(int)
{
    stopflag = 1;
}

#endif

} // namespace

void setup()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(onctrl, TRUE);
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
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
    return stopflag != 0;
}

bool isterminal(Stream stream)
{
    FILE* f = stream == Stream::Out ? stdout : stderr;
#ifdef Q_OS_WIN
    return _isatty(_fileno(f)) != 0;
#else
    return isatty(fileno(f)) != 0;
#endif
}

} // namespace console
