// The memory tracker: all dynamic memory of the game goes through here.
// Every block in use is recorded with its size and an optional name, so that
// what is still alive at shutdown is named one by one.
//
// Before xv_mem_init and after xv_mem_deinit the calls pass straight to the
// system allocator and nothing is tracked; a block must be freed in the mode
// it was allocated in.
#pragma once

#include <cstddef>
#include <cstdint>

struct XV_MEM_CONFIG {
    int report;         // non-zero: failures and leaks are reported, allocations named
    uint32_t heap_size; // bytes of the first heap region; 0 gives 5 MiB
};

// One tracked block, kept in the block itself right behind its header.
struct XV_MEM_ELE {
    uint32_t data; // heap offsets
    uint32_t size; // bytes requested
    uint32_t name; // 0 when unnamed
};

enum { XV_MEM_ELE_ACCOUNTED = sizeof(XV_MEM_ELE) };

int xv_mem_init(XV_MEM_CONFIG *config);
// 1 when every byte was given back, 0 otherwise.
int xv_mem_deinit();
int xv_mem_running();

void *xv_mem_malloc(size_t size);
void *xv_mem_calloc(size_t count, size_t size);
void *xv_mem_realloc(void *pointer, size_t size);
// 0 when freed (or refused with a report), 1 for a null pointer.
int xv_mem_free(void *pointer);
// Frees a block its owner may not have got: a null pointer is no fault here.
void xv_mem_release(void *pointer);

// The same, naming the block after the place of the call.
void *xv_mem_malloc_at(const char *file, int line, size_t size);
void *xv_mem_calloc_at(const char *file, int line, size_t count, size_t size);
void *xv_mem_realloc_at(const char *file, int line, void *pointer, size_t size);
int xv_mem_free_at(const char *file, int line, void *pointer);

// A block named again keeps its history: "c (Previously known as b (...))".
int xv_mem_set_name(void *pointer, const char *name);
int xv_mem_set_name_at(const char *file, int line, void *pointer, const char *name);
const char *xv_mem_get_name(void *pointer);

#define XV_MALLOC(size) xv_mem_malloc_at(__FILE__, __LINE__, (size))
#define XV_CALLOC(count, size) xv_mem_calloc_at(__FILE__, __LINE__, (count), (size))
#define XV_REALLOC(pointer, size) xv_mem_realloc_at(__FILE__, __LINE__, (pointer), (size))
#define XV_FREE(pointer) xv_mem_free_at(__FILE__, __LINE__, (pointer))
#define XV_SET_NAME(pointer, name) xv_mem_set_name_at(__FILE__, __LINE__, (pointer), (name))

// Small blocks the platform keeps for itself (list nodes, names): they make
// no element of their own, but their size counts in the tracked bytes.
void *xv_mem_internal_malloc(size_t size);
void xv_mem_internal_free(void *pointer, size_t size);

// Tracked bytes: requested sizes, 12 per element and the names.
long xv_mem_used();
long xv_mem_max_used();

// 2 when every header of every region is sound, 0 at the first damaged one,
// 1 when there is no heap.
int xv_mem_heap_check();
// Writes every tracked block, its address, size and name, to file_name.
int xv_mem_name_dump(const char *file_name);

// While the stack is not empty, every allocation's data is aligned to its top.
void xv_mem_align_push(uint32_t alignment);
void xv_mem_align_pop();

void xv_mem_fill(void *pointer, int byte, size_t count);
void *xv_mem_copy(void *destination, const void *source, size_t count);
int xv_mem_compare(const void *a, const void *b, size_t count);

// The figures written to section "System" of the settings file at shutdown.
struct XV_MEM_STATISTICS {
    int64_t total_ram;        // physical memory of the machine, at start
    int64_t free_ram;         // available physical memory, at start
    int64_t used_ram;         // peak tracked bytes
    int64_t max_number_alloc; // peak element count
    int64_t number_alloc;     // elements alive
    int64_t total_size_heap;  // heap bytes free
    int64_t max_used_heap;    // peak heap bytes in use
    int64_t used_heap;        // heap bytes in use, less one header per region
};
XV_MEM_STATISTICS xv_mem_statistics();

// Where xv_mem_deinit writes the statistics: all of them at once, as keys
// of one section.
struct XV_MEM_STATISTIC {
    const char *key;
    int value;
};
using XV_MEM_STATISTICS_WRITER = void (*)(const char *section, const XV_MEM_STATISTIC *lines,
                                          int count);
void xv_mem_set_statistics_writer(XV_MEM_STATISTICS_WRITER writer);
