// Call stacks and fault handling on Windows. The stack is walked by the
// system from the unwind tables every 64-bit module carries; a return
// address is named by its module and the offset in it, and, in the game's
// own executable, by the function around it, found in the COFF symbol
// table the linker leaves in the file (a stripped file has none, and the
// report then gives module and offset alone). Faults arrive as structured
// exceptions, reported through the same handler as the POSIX signals.
#include "os_stack.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <fstream>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int os_stack_capture(void **frames, int max_frames) {
    if (max_frames <= 0) {
        return 0;
    }
    // Skip this function's own frame: the first is its caller.
    USHORT count =
        RtlCaptureStackBackTrace(1, static_cast<DWORD>(std::min(max_frames, 62)), frames, nullptr);
    return count;
}

namespace {

// One function of the executable: where it starts, relative to the module.
struct Symbol {
    uint32_t start;
    std::string name;
};

uint16_t read16(const std::string &bytes, size_t at) {
    return at + 2 <= bytes.size() ? static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                                          static_cast<uint8_t>(bytes[at + 1]) << 8)
                                  : 0;
}

uint32_t read32(const std::string &bytes, size_t at) {
    return at + 4 <= bytes.size()
               ? static_cast<uint32_t>(read16(bytes, at) | read16(bytes, at + 2) << 16)
               : 0;
}

constexpr size_t kSymbolRecord = 18;  // an entry of the COFF symbol table
constexpr size_t kSectionRecord = 40; // a section header
constexpr uint16_t kFunctionType = 0x20;
constexpr uint8_t kExternal = 2, kStatic = 3;

// The name of a symbol record: inline when it fits in eight bytes, else an
// offset into the string table that follows the symbols.
std::string symbol_name(const std::string &file, size_t record, size_t strings) {
    if (read32(file, record) != 0) {
        std::string inline_name = file.substr(record, 8);
        return inline_name.substr(0, inline_name.find('\0'));
    }
    size_t at = strings + read32(file, record + 4);
    if (at >= file.size()) {
        return "";
    }
    size_t end = file.find('\0', at);
    return file.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The functions of the module's file, sorted by their start; empty when the
// file cannot be read or carries no symbol table.
std::vector<Symbol> read_functions(const char *path) {
    std::vector<Symbol> functions;
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t pe = read32(file, 0x3C);
    if (file.size() < 0x40 || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return functions;
    }
    size_t header = pe + 4;
    uint16_t section_count = read16(file, header + 2);
    size_t symbols = read32(file, header + 8);
    size_t symbol_count = read32(file, header + 12);
    size_t sections = header + 20 + read16(file, header + 16);
    size_t strings = symbols + symbol_count * kSymbolRecord;
    if (symbols == 0 || strings > file.size()) {
        return functions;
    }
    for (size_t i = 0; i < symbol_count; ++i) {
        size_t record = symbols + i * kSymbolRecord;
        int16_t section = static_cast<int16_t>(read16(file, record + 12));
        uint16_t type = read16(file, record + 14);
        uint8_t storage = static_cast<uint8_t>(file[record + 16]);
        uint8_t auxiliary = static_cast<uint8_t>(file[record + 17]);
        if (section > 0 && section <= section_count && (type & 0xF0) == kFunctionType &&
            (storage == kExternal || storage == kStatic)) {
            uint32_t section_start = read32(file, sections + (section - 1) * kSectionRecord + 12);
            functions.push_back(
                {section_start + read32(file, record + 8), symbol_name(file, record, strings)});
        }
        i += auxiliary;
    }
    std::sort(functions.begin(), functions.end(),
              [](const Symbol &a, const Symbol &b) { return a.start < b.start; });
    return functions;
}

struct Executable {
    HMODULE module = nullptr;
    std::vector<Symbol> functions;
};

// The executable's functions, read on first use and kept: reading the file
// is the slow part of a report.
const Executable &executable() {
    static const Executable loaded = [] {
        Executable self;
        self.module = GetModuleHandleA(nullptr);
        char path[MAX_PATH + 1];
        DWORD length = GetModuleFileNameA(self.module, path, sizeof path);
        if (length > 0 && length < sizeof path) {
            self.functions = read_functions(path);
        }
        return self;
    }();
    return loaded;
}

void copy_text(char *destination, size_t size, const char *source) {
    snprintf(destination, size, "%s", source ? source : "");
}

void copy_demangled(char *destination, size_t size, const char *name) {
    int status = 0;
    char *demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    copy_text(destination, size, status == 0 && demangled ? demangled : name);
    free(demangled);
}

} // namespace

bool os_stack_load_symbols() {
    return !executable().functions.empty();
}

void os_stack_describe(void *address, OS_FRAME *frame) {
    *frame = OS_FRAME{};
    frame->address = reinterpret_cast<uintptr_t>(address);
    // A return address points after its call; look up the call itself.
    uintptr_t lookup = frame->address - 1;
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<const char *>(lookup), &module)) {
        return;
    }
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length > 0 && length < sizeof path) {
        const char *slash = strrchr(path, '\\');
        copy_text(frame->module, sizeof frame->module, slash ? slash + 1 : path);
    }
    frame->module_offset = frame->address - reinterpret_cast<uintptr_t>(module);

    const Executable &self = executable();
    if (module != self.module || self.functions.empty()) {
        return;
    }
    uint32_t relative = static_cast<uint32_t>(lookup - reinterpret_cast<uintptr_t>(module));
    auto after = std::upper_bound(self.functions.begin(), self.functions.end(), relative,
                                  [](uint32_t at, const Symbol &s) { return at < s.start; });
    if (after != self.functions.begin()) {
        const Symbol &function = *(after - 1);
        copy_demangled(frame->symbol, sizeof frame->symbol, function.name.c_str());
        frame->symbol_offset = relative - function.start + 1;
    }
}

// ---- faults ------------------------------------------------------------------

namespace {

void (*fault_handler)(int) = nullptr;
volatile LONG in_fault = 0;
HANDLE watchdog_start = nullptr;

constexpr DWORD kWatchdogMs = 10000;

// The signal a structured exception stands for; 0 for one that is not a fault.
int signal_of(DWORD code) {
    switch (code) {
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return SIGILL;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
        return SIGFPE;
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
        return SIGSEGV;
    default:
        return 0;
    }
}

// There is no alarm here: a thread made at start sleeps until a fault
// wakes it, and ends the process when the report takes too long (stuck on
// a lock the fault left held).
DWORD WINAPI watchdog(void *) {
    WaitForSingleObject(watchdog_start, INFINITE);
    Sleep(kWatchdogMs);
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

// Runs the handler once; a second fault, in the report itself, ends the
// process at once instead of coming back here.
void report_fault(int signal, DWORD exit_code) {
    if (InterlockedExchange(&in_fault, 1) != 0) {
        TerminateProcess(GetCurrentProcess(), exit_code);
    }
    if (watchdog_start) {
        SetEvent(watchdog_start);
    }
    fault_handler(signal);
    // Ending as the fault would have ended it without a handler.
    TerminateProcess(GetCurrentProcess(), exit_code);
}

LONG WINAPI on_exception(EXCEPTION_POINTERS *exception) {
    DWORD code = exception->ExceptionRecord->ExceptionCode;
    int signal = signal_of(code);
    if (signal == 0) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    report_fault(signal, code);
    return EXCEPTION_CONTINUE_SEARCH;
}

// The exception code a fault of this signal ends a process with.
DWORD exit_code_of(int signal) {
    switch (signal) {
    case SIGILL:
        return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        return EXCEPTION_INT_DIVIDE_BY_ZERO;
    default:
        return EXCEPTION_ACCESS_VIOLATION;
    }
}

// mingw-w64's runtime registers a handler for the program's own code that
// turns its faults into these signals before any unhandled-exception filter
// hears of them, so most faults come this way: the process ends as the
// fault would have ended it.
void on_signal(int signal) {
    report_fault(signal, exit_code_of(signal));
}

} // namespace

bool os_fault_in_progress() {
    return in_fault != 0;
}

void os_fault_handlers_install(void (*handler)(int signal)) {
    fault_handler = handler;
    // A stack overflow leaves no stack to report on: keep some back for
    // the handler.
    ULONG reserve = 256 * 1024;
    SetThreadStackGuarantee(&reserve);
    // Reading the symbols allocates and reads a file: do that now rather
    // than inside a fault.
    executable();
    if (!watchdog_start) {
        watchdog_start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (HANDLE thread = CreateThread(nullptr, 64 * 1024, watchdog, nullptr, 0, nullptr)) {
            CloseHandle(thread);
        }
    }
    SetUnhandledExceptionFilter(on_exception);
    for (int signal : {SIGILL, SIGFPE, SIGSEGV}) {
        std::signal(signal, on_signal);
    }
}
