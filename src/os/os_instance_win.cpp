// One running copy of the game on Windows: the first copy holds a named
// mutex (the system lets it go when its holder ends, however it ends) and
// an event that later copies set to ask it to come forward.
#include "os_instance.h"

#include "os_window.h"

#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

HANDLE held = nullptr;
HANDLE raise_request = nullptr;

// Names in the session's own namespace: another user's game is no copy of this one.
std::string object_name(const char *name, const char *what) {
    std::string full = std::string("Local\\pinwheel-golf-") + (name ? name : "") + what;
    for (char &c : full) {
        if (c == '\\' && &c != &full[5]) {
            c = '_'; // a name may hold one backslash, after the namespace
        }
    }
    return full;
}

} // namespace

bool os_instance_claim(const char *name) {
    if (held) {
        return true;
    }
    HANDLE mutex = CreateMutexA(nullptr, TRUE, object_name(name, "").c_str());
    if (!mutex) {
        return true; // no way to tell: better two copies than none
    }
    const bool another = GetLastError() == ERROR_ALREADY_EXISTS;
    // Auto-reset: one request, one raise.
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, object_name(name, "-raise").c_str());
    if (another) {
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
        CloseHandle(mutex);
        return false;
    }
    held = mutex;
    raise_request = event;
    return true;
}

void os_instance_serve() {
    if (raise_request && WaitForSingleObject(raise_request, 0) == WAIT_OBJECT_0) {
        os_window_raise(os_window_first());
    }
}
