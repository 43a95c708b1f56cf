#include "os_memory.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <iterator>
#include <map>
#include <mutex>
#include <sanitizer/lsan_interface.h>

// Blocks of the game's own heap may hold the only pointer to a system
// allocation: the leak checker must look inside the committed ranges. It
// forgets a range only as it was registered, whole, while a range may be
// decommitted or released in part: the ranges are kept here, and a part
// given back splits the range it came from.
namespace {

// Made on first use and never destroyed: a heap may take its ranges
// before this file's statics are made, and give them back after the rest
// are gone.
std::mutex &roots_lock() {
    static auto *lock = new std::mutex;
    return *lock;
}

std::map<char *, size_t> &roots() { // start -> size
    static auto *ranges = new std::map<char *, size_t>;
    return *ranges;
}

void add_root(char *start, size_t size) {
    if (size) {
        __lsan_register_root_region(start, size);
        roots()[start] = size;
    }
}

void forget_roots_in(void *address, size_t size) {
    std::lock_guard<std::mutex> hold(roots_lock());
    char *from = static_cast<char *>(address);
    char *to = from + size;
    auto it = roots().upper_bound(from);
    if (it != roots().begin()) {
        --it;
    }
    while (it != roots().end() && it->first < to) {
        char *start = it->first;
        char *end = start + it->second;
        it = std::next(it);
        if (end <= from) {
            continue;
        }
        __lsan_unregister_root_region(start, end - start);
        roots().erase(start);
        add_root(start, start < from ? from - start : 0);
        add_root(to, end > to ? end - to : 0);
    }
}

void remember_root(void *address, size_t size) {
    forget_roots_in(address, size); // committed twice, registered once
    std::lock_guard<std::mutex> hold(roots_lock());
    add_root(static_cast<char *>(address), size);
}

} // namespace
#endif

void *os_memory_reserve(size_t size) {
    void *address =
        mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

void os_memory_release(void *address, size_t size) {
#if defined(__SANITIZE_ADDRESS__)
    forget_roots_in(address, size);
#endif
    munmap(address, size);
}

bool os_memory_commit(void *address, size_t size) {
    if (mprotect(address, size, PROT_READ | PROT_WRITE) != 0) {
        return false;
    }
#if defined(__SANITIZE_ADDRESS__)
    remember_root(address, size);
#endif
    return true;
}

void os_memory_decommit(void *address, size_t size) {
#if defined(__SANITIZE_ADDRESS__)
    forget_roots_in(address, size);
#endif
    // A fresh mapping over the range drops its pages and leaves it reserved.
    mmap(address, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
}

size_t os_memory_page_size() {
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// MemAvailable counts the caches the kernel would give back; sysinfo's freeram does not.
static bool read_mem_available(uint64_t *available) {
    FILE *file = fopen("/proc/meminfo", "r");
    if (!file) {
        return false;
    }
    char line[128];
    bool found = false;
    while (!found && fgets(line, sizeof line, file)) {
        unsigned long long kib = 0;
        if (sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            *available = kib * 1024;
            found = true;
        }
    }
    fclose(file);
    return found;
}

void os_memory_physical(uint64_t *total, uint64_t *available) {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) {
        *total = *available = 0;
        return;
    }
    *total = static_cast<uint64_t>(info.totalram) * info.mem_unit;
    if (!read_mem_available(available)) {
        *available = static_cast<uint64_t>(info.freeram) * info.mem_unit;
    }
}
