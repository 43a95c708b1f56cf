#include "os_stack.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <execinfo.h>
#include <initializer_list>
#include <unistd.h>

int os_stack_capture(void **frames, int max_frames) {
    // backtrace() also returns its own caller, this function, and under the
    // sanitizers the frame of their hook around it: the stack starts where
    // this function returns to.
    void *buffer[128];
    int wanted = max_frames + 2 < 128 ? max_frames + 2 : 128;
    int count = backtrace(buffer, wanted);
    void *caller = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < count && i < 3; ++i) {
        if (buffer[i] == caller) {
            first = i;
            break;
        }
    }
    int kept = count - first < max_frames ? count - first : max_frames;
    if (kept <= 0) {
        return 0;
    }
    memcpy(frames, buffer + first, sizeof(void *) * kept);
    return kept;
}

// One session over the modules of this process, made on first use and kept:
// loading the debug information is the slow part of a report.
static Dwfl *symbol_session() {
    static char *debuginfo_path = nullptr;
    static const Dwfl_Callbacks callbacks = {
        dwfl_linux_proc_find_elf,
        dwfl_standard_find_debuginfo,
        nullptr,
        &debuginfo_path,
    };
    static Dwfl *session = [] {
        Dwfl *dwfl = dwfl_begin(&callbacks);
        if (dwfl && (dwfl_linux_proc_report(dwfl, getpid()) != 0 ||
                     dwfl_report_end(dwfl, nullptr, nullptr) != 0)) {
            dwfl_end(dwfl);
            dwfl = nullptr;
        }
        return dwfl;
    }();
    return session;
}

static void copy_text(char *destination, size_t size, const char *source) {
    snprintf(destination, size, "%s", source ? source : "");
}

static void copy_demangled(char *destination, size_t size, const char *name) {
    int status = 0;
    char *demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    copy_text(destination, size, status == 0 && demangled ? demangled : name);
    free(demangled);
}

static void describe_module(Dwfl_Module *module, OS_FRAME *frame) {
    Dwarf_Addr start = 0;
    const char *path =
        dwfl_module_info(module, nullptr, &start, nullptr, nullptr, nullptr, nullptr, nullptr);
    const char *slash = path ? strrchr(path, '/') : nullptr;
    copy_text(frame->module, sizeof frame->module, slash ? slash + 1 : path);
    frame->module_offset = frame->address - start;
}

bool os_stack_load_symbols() {
    return symbol_session() != nullptr;
}

void os_stack_describe(void *address, OS_FRAME *frame) {
    *frame = OS_FRAME{};
    frame->address = reinterpret_cast<uintptr_t>(address);
    Dwfl *session = symbol_session();
    if (!session) {
        return;
    }
    // A return address points after its call; look up the call itself.
    Dwarf_Addr lookup = frame->address - 1;
    Dwfl_Module *module = dwfl_addrmodule(session, lookup);
    if (!module) {
        return;
    }
    describe_module(module, frame);

    GElf_Off offset = 0;
    GElf_Sym symbol{};
    const char *name =
        dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr);
    if (name) {
        copy_demangled(frame->symbol, sizeof frame->symbol, name);
        frame->symbol_offset = offset + 1;
    }

    if (Dwfl_Line *line = dwfl_module_getsrc(module, lookup)) {
        Dwarf_Addr line_address = 0;
        int line_number = 0;
        const char *source =
            dwfl_lineinfo(line, &line_address, &line_number, nullptr, nullptr, nullptr);
        if (source) {
            copy_text(frame->source, sizeof frame->source, source);
            frame->line = line_number;
            frame->line_offset = frame->address - line_address;
        }
    }
}

static void (*fault_handler)(int) = nullptr;
static volatile sig_atomic_t in_fault = 0;

bool os_fault_in_progress() {
    return in_fault != 0;
}

static void on_fault(int signal) {
    in_fault = 1;
    // SA_RESETHAND has restored the default action: a second fault, in the
    // report itself, ends the process instead of coming back here. A report
    // stuck on a lock the fault left held ends it by the alarm.
    alarm(10);
    fault_handler(signal);
    // Returning would run the faulting instruction again (or, for a raised
    // signal, carry on as if nothing happened): end with the signal instead.
    raise(signal);
}

void os_fault_handlers_install(void (*handler)(int signal)) {
    fault_handler = handler;

    // A stack overflow arrives as an access violation with no stack left to
    // report on: the handler gets one of its own.
    static char alternate_stack[256 * 1024];
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    sigaltstack(&stack, nullptr);

    // Walking the stack loads the unwinder on first use, which allocates:
    // do that now rather than inside a fault.
    void *warm[1];
    backtrace(warm, 1);

    struct sigaction action {};
    action.sa_handler = on_fault;
    action.sa_flags = SA_RESETHAND | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGILL, SIGFPE, SIGSEGV}) {
        sigaction(signal, &action, nullptr);
    }
}
