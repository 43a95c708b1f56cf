// The process on Windows: priority classes, and Ctrl+C or the console's
// close noted as a request to stop.
#include "os_process.h"

#include <csignal>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

volatile LONG termination_requested = 0;

BOOL WINAPI note_console_event(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        InterlockedExchange(&termination_requested, 1);
        return TRUE;
    }
    return FALSE;
}

void note_signal(int) {
    InterlockedExchange(&termination_requested, 1);
}

} // namespace

// As on Linux, never the real-time class: the game's loop never blocks and
// would starve the desktop.
bool os_process_set_priority(OS_PRIORITY priority) {
    static const DWORD kClass[] = {NORMAL_PRIORITY_CLASS, ABOVE_NORMAL_PRIORITY_CLASS,
                                   HIGH_PRIORITY_CLASS};
    return SetPriorityClass(GetCurrentProcess(), kClass[priority]) != 0;
}

void os_process_catch_termination() {
    SetConsoleCtrlHandler(note_console_event, TRUE);
    std::signal(SIGTERM, note_signal);
    std::signal(SIGINT, note_signal);
}

bool os_process_termination_requested() {
    return termination_requested != 0;
}
