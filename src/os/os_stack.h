// Call stacks of the running program and the handlers for fatal signals.
#pragma once

#include <cstddef>
#include <cstdint>

// What the debug information tells about one return address.
struct OS_FRAME {
    uintptr_t address;
    char module[256];        // file name of the module without its directory; "" when unknown
    uintptr_t module_offset; // bytes from the start of the module; 0 when unknown
    char symbol[256];        // demangled function name; "" when unknown
    uintptr_t symbol_offset; // bytes from the start of the function
    char source[256];        // source file; "" when the module carries no line table
    int line;
    uintptr_t line_offset; // bytes from the first instruction of that line
};

// Fills frames with the return addresses of the current thread, innermost
// first, starting with the caller of os_stack_capture; returns their count
// (0 when the stack cannot be walked).
int os_stack_capture(void **frames, int max_frames);

// Loads the symbols and line tables of the process's modules (once; later
// calls only answer). False when none could be loaded.
bool os_stack_load_symbols();

// Looks a return address up in the loaded symbols and line tables.
void os_stack_describe(void *address, OS_FRAME *frame);

// Runs handler(signal number) on an illegal instruction (4), an arithmetic
// fault (8) or an access violation (11). The handler runs once on a stack of
// its own; a fault inside it, or a handler still busy after ten seconds, ends
// the process at once. When the handler returns, the process ends with the
// signal, as it would have without a handler.
void os_fault_handlers_install(void (*handler)(int signal));
// Whether a fault handler runs: nothing may wait for the player then.
bool os_fault_in_progress();
