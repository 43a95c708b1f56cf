// Address space and physical memory on Windows: the reservation is
// VirtualAlloc's, page by page as on the POSIX side.
#include "os_memory.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

void *os_memory_reserve(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

void os_memory_release(void *address, size_t) {
    // A reservation goes back whole: the size must be 0 here.
    VirtualFree(address, 0, MEM_RELEASE);
}

bool os_memory_commit(void *address, size_t size) {
    return VirtualAlloc(address, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void os_memory_decommit(void *address, size_t size) {
    VirtualFree(address, size, MEM_DECOMMIT);
}

size_t os_memory_page_size() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void os_memory_physical(uint64_t *total, uint64_t *available) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        *total = *available = 0;
        return;
    }
    *total = status.ullTotalPhys;
    *available = status.ullAvailPhys;
}
