// Mesa keeps state it allocates during OpenGL set-up for the life of the
// process and unloads its driver before the leak checker looks, so that
// nothing can be attributed. The os layer pauses leak checking around the
// calls that load it, and the engine around the draws that make it build
// its shaders; the game's own memory is checked as ever.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

struct OS_LEAK_CHECK_PAUSE {
    OS_LEAK_CHECK_PAUSE() { __lsan_disable(); }
    ~OS_LEAK_CHECK_PAUSE() { __lsan_enable(); }
};
#else
struct OS_LEAK_CHECK_PAUSE {
    OS_LEAK_CHECK_PAUSE() {}
    ~OS_LEAK_CHECK_PAUSE() {}
};
#endif
