#include "os_process.h"

#include <csignal>
#include <initializer_list>
#include <sys/resource.h>

namespace {

volatile std::sig_atomic_t termination_requested = 0;

void note_termination(int) {
    termination_requested = 1;
}

} // namespace

bool os_process_set_priority(OS_PRIORITY priority) {
    static const int kNice[] = {0, -5, -10};
    return setpriority(PRIO_PROCESS, 0, kNice[priority]) == 0;
}

void os_process_catch_termination() {
    struct sigaction action {};
    action.sa_handler = note_termination;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT}) {
        sigaction(signal, &action, nullptr);
    }
}

bool os_process_termination_requested() {
    return termination_requested != 0;
}
