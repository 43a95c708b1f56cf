#include "xv_mem.h"

#include "os_file.h"
#include "os_memory.h"
#include "xv_dsp.h"
#include "xv_error.h"
#include "xv_heap.h"
#include "xv_str.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

enum {
    FREE_NULL,
    MALLOC_FAILED,
    ELEMENT_FAILED, // kept for its number: the element comes with its block
    CALLOC_FAILED,
    REALLOC_FOREIGN,
    ZERO_LENGTH, // kept for its number: nothing refuses a zero-length block
    NAME_NULL,
    NAME_FOREIGN,
    HEAP_GROWN,
    INVALID_BLOCK,
    REALLOC_FAILED,
    ALIGN_POP,
};

const char *const messages[] = {
    "Tried to free a NULL pointer!",
    "malloc() failed!",
    "XV INTERNAL ERROR:  couldn't malloc XV_MEM_ELE",
    "calloc failed!",
    "passed a non NULL pointer to realloc which wasn't allocated by the xv_mem module!",
    "Tried to malloc a zero length buffer",
    "Tried to name a NULL Pointer",
    "Tried to name a pointer that wasn't allocated with xv_mem_malloc",
    "Not enough heap. Allocating another buffer",
    "HEAP Error: Not a valid memory block",
    "realloc failed!",
    "Too many xv_mem_align_pop!",
    nullptr,
};

constexpr size_t kNameBufferSize = 256;
constexpr uint32_t kLargestAlignment = 0x10000;

// A tracked block's data begins this far past its header: the element, then
// the word before the data that leads back to the header. The block's spare
// header words hold where its element is and its allocation number, which
// keeps the order of allocation without a list to walk on every free.
constexpr uint32_t kElementLead = 16;
constexpr int kOwnerWord = 0;
constexpr int kNumberWord = 1;
static_assert(sizeof(XV_MEM_ELE) + 4 <= kElementLead);

// A block freed by the game is kept back, marked, for the next request of
// its size, as long as it is small and few are kept: most of a game's
// blocks come and go in a few sizes, and a block handed straight back
// costs neither a merge with its neighbours nor a split. What is kept goes
// back to the heap before the heap grows and at shutdown, and counts as
// free in the figures. Its header's spare words hold the mark and the
// next block kept of its size.
constexpr uint32_t kKeptMark = 1; // never a header's offset + 44, which is on the 16-byte grid
constexpr int kKeptClasses = 66;  // block sizes 4, 20, ... 1044: requests up to 1028 bytes
constexpr uint16_t kMostKeptOfASize = 32;

struct KeptBlocks {
    uint32_t head[kKeptClasses] = {};
    uint16_t count[kKeptClasses] = {};
    uint64_t bytes = 0;      // data bytes kept
    uint64_t most_bytes = 0; // a sixteenth of the first region
};

// Everything the tracker knows but the heap itself; reset at every start.
struct Tracker {
    XV_MEM_CONFIG *config = nullptr;
    int module = -1;
    uint32_t allocations = 0; // numbers the tracked blocks in allocation order
    int64_t tracked = 0;
    int64_t tracked_peak = 0;
    int64_t elements = 0;
    int64_t elements_peak = 0;
    uint64_t total_ram = 0;
    uint64_t free_ram = 0;
    std::vector<uint32_t> align_masks;
    char *name_buffer = nullptr;
    KeptBlocks kept;
    uint64_t heap_peak = 0; // heap bytes in use, less what is kept, at most
};

Tracker tracker;
std::optional<xv::Heap> heap;
XV_MEM_STATISTICS_WRITER statistics_writer = nullptr;

// The address space of the heap, reserved on the first start and kept for
// the life of the process, so that a block freed after shutdown is still
// recognised as the heap's (and left alone) rather than handed to the system.
xv::Arena *arena = nullptr;

bool running() {
    return heap.has_value();
}
bool reporting() {
    return tracker.config && tracker.config->report;
}

void report(int code) {
    xv_error_report(tracker.module, code, reporting());
}

bool from_dead_heap(const void *pointer) {
    return arena && arena->contains(pointer);
}

XV_MEM_ELE &element(uint32_t offset) {
    return *static_cast<XV_MEM_ELE *>(heap->address_of(offset));
}

uint32_t offset_of(const void *pointer) {
    return heap->offset_of(pointer);
}

void count(int64_t bytes) {
    tracker.tracked += bytes;
    tracker.tracked_peak = std::max(tracker.tracked_peak, tracker.tracked);
}

// The heap's bytes in use, what is kept back counted as free.
void note_heap_use() {
    uint64_t in_use = heap->statistics().in_use - tracker.kept.bytes;
    tracker.heap_peak = std::max(tracker.heap_peak, in_use);
}

uint32_t align_mask() {
    return tracker.align_masks.empty() ? 0 : tracker.align_masks.back();
}

void on_heap_growth() {
    report(HEAP_GROWN);
}

// ---- names: heap blocks without elements, counted in the tracked bytes ----

uint32_t store_name(const char *format, ...) __attribute__((format(printf, 1, 2)));
uint32_t store_name(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    int length = vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    char *text = length < 0 ? nullptr : static_cast<char *>(heap->allocate(length + 1));
    note_heap_use();
    if (text) {
        vsnprintf(text, length + 1, format, arguments);
        count(length + 1);
    }
    va_end(arguments);
    return text ? offset_of(text) : 0;
}

void drop_name(uint32_t name) {
    if (name) {
        auto *text = static_cast<char *>(heap->address_of(name));
        count(-static_cast<int64_t>(strlen(text) + 1));
        heap->release(text);
    }
}

// ---- elements ---------------------------------------------------------------

// A block of the heap in use, and its tracker element when it has one.
struct Tracked {
    uint32_t block = 0;
    uint32_t element = 0;
};

// The block's header says where its element is; the element must lie right
// behind the header and name the block back, or the header is not believed.
// Its neighbours are looked at as the heap's find does, or (own) only the
// one before it.
Tracked find_tracked(const void *pointer, bool own = false) {
    Tracked found{own ? heap->find_own(pointer) : heap->find(pointer), 0};
    if (found.block) {
        uint32_t candidate = heap->user_word(found.block, kOwnerWord);
        uint32_t data = offset_of(pointer);
        if (candidate == found.block + xv::kBlockHeaderSize && data >= candidate + kElementLead &&
            element(candidate).data == data) {
            found.element = candidate;
        }
    }
    return found;
}

void mark_tracked(uint32_t block, uint32_t number) {
    heap->set_user_word(block, kOwnerWord, block + xv::kBlockHeaderSize);
    heap->set_user_word(block, kNumberWord, number);
}

int kept_class(uint32_t block_size) {
    return static_cast<int>(block_size / xv::kDataAlignment);
}

// Block sizes are 4 more than a multiple of 16: one a class.
uint32_t class_size(int size_class) {
    return static_cast<uint32_t>(size_class) * xv::kDataAlignment +
           static_cast<uint32_t>(xv::Heap::block_size_for(0));
}

bool is_kept(uint32_t block) {
    return heap->user_word(block, kOwnerWord) == kKeptMark;
}

// Whether a tracked block would be kept back: one of the plain layout (not
// aligned past its element), of a size kept, while there is room.
bool keepable(uint32_t block) {
    uint32_t size = heap->block_size(block);
    int size_class = kept_class(size);
    const KeptBlocks &kept = tracker.kept;
    return size_class < kKeptClasses && kept.count[size_class] < kMostKeptOfASize &&
           kept.bytes + size <= kept.most_bytes &&
           heap->data_offset(block) == block + xv::kBlockHeaderSize + kElementLead;
}

void keep(uint32_t block) {
    uint32_t size = heap->block_size(block);
    int size_class = kept_class(size);
    KeptBlocks &kept = tracker.kept;
    heap->set_user_word(block, kOwnerWord, kKeptMark);
    heap->set_user_word(block, kNumberWord, kept.head[size_class]);
    kept.head[size_class] = block;
    kept.count[size_class]++;
    kept.bytes += size;
}

// A kept block of exactly this size, taken off its list; 0 for none. A
// list whose next block is not a sound one in use (an overrun reached it)
// is dropped: its blocks stay where they are, used, until the heap is gone.
uint32_t take_kept(uint32_t block_size) {
    int size_class = kept_class(block_size);
    KeptBlocks &kept = tracker.kept;
    if (size_class >= kKeptClasses || !kept.head[size_class]) {
        return 0;
    }
    uint32_t block = kept.head[size_class];
    if (!heap->in_use(block) || !is_kept(block) || heap->block_size(block) != block_size) {
        kept.bytes -= uint64_t{kept.count[size_class]} * block_size;
        kept.head[size_class] = 0;
        kept.count[size_class] = 0;
        return 0;
    }
    kept.head[size_class] = heap->user_word(block, kNumberWord);
    kept.count[size_class]--;
    kept.bytes -= block_size;
    return block;
}

// Every kept block back to the heap; true when there was any. One whose
// next neighbour's header is damaged (it overran) is not merged with it:
// it stays where it is, reported, as a free of it once was.
bool give_back_kept() {
    bool any = false;
    for (int size_class = 0; size_class < kKeptClasses; ++size_class) {
        while (uint32_t block = take_kept(class_size(size_class))) {
            if (heap->sound_next(block)) {
                heap->release_block(block);
                any = true;
            } else {
                report(INVALID_BLOCK);
            }
        }
    }
    return any;
}

// Every element, oldest first. Only reports need them, so they are found by
// walking the heap rather than kept in a list.
std::vector<uint32_t> elements_in_allocation_order() {
    std::vector<std::pair<uint32_t, uint32_t>> aged; // (age, element)
    for (const xv::HeapBlock &block : heap->blocks()) {
        uint32_t owner = block.free ? 0 : heap->user_word(block.offset, kOwnerWord);
        if (owner && owner == block.offset + xv::kBlockHeaderSize) {
            uint32_t age = tracker.allocations - heap->user_word(block.offset, kNumberWord);
            aged.push_back({age, owner});
        }
    }
    std::sort(aged.begin(), aged.end(), [](auto &a, auto &b) { return a.first > b.first; });
    std::vector<uint32_t> ordered;
    for (const auto &[age, owner] : aged) {
        ordered.push_back(owner);
    }
    return ordered;
}

// A kept block for a request of size bytes with no alignment asked: the
// size of block the heap would cut for it, exactly.
void *reuse_kept(size_t size, uint32_t *block) {
    if (align_mask() >= xv::kDataAlignment || size > UINT32_MAX) {
        return nullptr;
    }
    *block = take_kept(static_cast<uint32_t>(xv::Heap::block_size_for(size + kElementLead)));
    return *block ? heap->address_of(*block + xv::kBlockHeaderSize + kElementLead) : nullptr;
}

void *tracked_allocate(size_t size, bool zeroed, int failure_code) {
    uint32_t block = 0;
    void *data = reuse_kept(size, &block);
    if (!data) {
        data = heap->allocate(size, align_mask(), kElementLead, &block);
    }
    note_heap_use();
    if (!data) {
        if (reporting()) {
            // A long is 32 bits on Windows: the size asked for is printed whole.
            xv_error_raise(tracker.module, failure_code, "Heap Size = %ld, Buffer Size = %llu",
                           static_cast<long>(tracker.tracked),
                           static_cast<unsigned long long>(size));
        }
        return nullptr;
    }
    if (zeroed) {
        memset(data, 0, size);
    }
    uint32_t offset = block + xv::kBlockHeaderSize;
    element(offset) = XV_MEM_ELE{offset_of(data), static_cast<uint32_t>(size), 0};
    mark_tracked(block, ++tracker.allocations);
    count(static_cast<int64_t>(size) + XV_MEM_ELE_ACCOUNTED);
    tracker.elements_peak = std::max(tracker.elements_peak, ++tracker.elements);
    return data;
}

void name_after_place(void *pointer, const char *name, const char *file, int line) {
    if (pointer && running() && tracker.name_buffer) {
        snprintf(tracker.name_buffer, kNameBufferSize,
                 "%s (Allocated or Named in file: %s, on line: %d)", name, file, line);
        xv_mem_set_name(pointer, tracker.name_buffer);
    }
}

int clamp_to_int(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

void write_statistics() {
    if (!statistics_writer) {
        return;
    }
    XV_MEM_STATISTICS figures = xv_mem_statistics();
    const XV_MEM_STATISTIC lines[] = {
        {"TotalRAM", clamp_to_int(figures.total_ram)},
        {"FreeRAM", clamp_to_int(figures.free_ram)},
        {"UsedRAM", clamp_to_int(figures.used_ram)},
        {"MaxNumberAlloc", clamp_to_int(figures.max_number_alloc)},
        {"NumberAlloc", clamp_to_int(figures.number_alloc)},
        {"TotalSizeHeap", clamp_to_int(figures.total_size_heap)},
        {"MaxUsedHeap", clamp_to_int(figures.max_used_heap)},
        {"UsedHeap", clamp_to_int(figures.used_heap)},
    };
    statistics_writer("System", lines, static_cast<int>(std::size(lines)));
}

void report_leaks() {
    for (uint32_t offset : elements_in_allocation_order()) {
        const XV_MEM_ELE &leaked = element(offset);
        const char *name = leaked.name ? static_cast<char *>(heap->address_of(leaked.name)) : "";
        xv_warning(xv_str_format("Pointer not freed before exit! Name: '%s' Size: '%d'", name,
                                 static_cast<int>(leaked.size))
                       .c_str(),
                   "Memory Info", XV_MB_OK);
    }
}

} // namespace

int xv_mem_init(XV_MEM_CONFIG *config) {
    if (running()) {
        return 0;
    }
    tracker = Tracker{};
    tracker.config = config;
    os_memory_physical(&tracker.total_ram, &tracker.free_ram);
    tracker.module = xv_error_register("Memory", messages);

    if (!arena) {
        arena = new xv::Arena;
    }
    uint32_t size = config && config->heap_size ? config->heap_size : xv::kDefaultHeapSize;
    heap.emplace(*arena, size, on_heap_growth);
    if (!heap->valid()) {
        heap.reset();
        xv_warning("HEAP INIT FAILED", nullptr, XV_MB_OK);
        return 0;
    }
    heap->set_reclaim(give_back_kept);
    tracker.kept.most_bytes = size / 16;
    note_heap_use();
    if (reporting()) {
        tracker.name_buffer = static_cast<char *>(xv_mem_malloc(kNameBufferSize));
        xv_mem_set_name(tracker.name_buffer, "xv_mem_name_buffer");
    }
    return 1;
}

int xv_mem_deinit() {
    if (!running()) {
        return 0;
    }
    xv_mem_release(tracker.name_buffer);
    tracker.name_buffer = nullptr;
    tracker.align_masks.clear();
    give_back_kept();
    if (reporting()) {
        report_leaks();
    }
    write_statistics();
    heap.reset();

    if (tracker.tracked == 0) {
        tracker.config = nullptr;
        return 1;
    }
    std::string summary =
        tracker.tracked > 0
            ? xv_str_format("Memory not all freed: %ld bytes left",
                            static_cast<long>(tracker.tracked))
            : xv_str_format("More memory freed with xv_mem than allocated: %ld bytes",
                            static_cast<long>(-tracker.tracked));
    if (reporting()) {
        xv_error(summary.c_str());
    }
    tracker.config = nullptr;
    return 0;
}

int xv_mem_running() {
    return running();
}

void *xv_mem_malloc(size_t size) {
    if (!running()) {
        return malloc(size);
    }
    return tracked_allocate(size, false, MALLOC_FAILED);
}

void *xv_mem_calloc(size_t count, size_t size) {
    if (!running()) {
        return calloc(count, size);
    }
    if (size && count > SIZE_MAX / size) {
        report(CALLOC_FAILED);
        return nullptr;
    }
    return tracked_allocate(count * size, true, CALLOC_FAILED);
}

void *xv_mem_realloc(void *pointer, size_t size) {
    if (!running()) {
        return from_dead_heap(pointer) ? malloc(size) : realloc(pointer, size);
    }
    if (!pointer) {
        return xv_mem_malloc(size);
    }
    Tracked found = find_tracked(pointer);
    if (!found.element) {
        report(REALLOC_FOREIGN);
        return xv_mem_malloc(size);
    }
    uint32_t number = heap->user_word(found.block, kNumberWord);
    uint32_t block = 0;
    void *moved = heap->resize(pointer, size, align_mask(), kElementLead, &block);
    note_heap_use();
    if (!moved) {
        // The block stays as it was, and tracked: the caller still owns it.
        report(REALLOC_FAILED);
        return nullptr;
    }
    // A moved block took its element along; it keeps its place in the order.
    mark_tracked(block, number);
    XV_MEM_ELE &resized = element(block + xv::kBlockHeaderSize);
    count(static_cast<int64_t>(size) - resized.size);
    resized.data = offset_of(moved);
    resized.size = static_cast<uint32_t>(size);
    return moved;
}

int xv_mem_free(void *pointer) {
    if (!pointer) {
        report(FREE_NULL);
        return 1;
    }
    if (!running()) {
        if (!from_dead_heap(pointer)) {
            free(pointer);
        }
        return 0;
    }
    // A block kept back merges with no neighbour: the next one's header is
    // looked at when it goes back to the heap.
    Tracked found = find_tracked(pointer, true);
    bool kept = found.element && keepable(found.block);
    if (found.block && !kept && !heap->sound_next(found.block)) {
        found = Tracked{};
    }
    if (found.element) {
        const XV_MEM_ELE &freed = element(found.element);
        drop_name(freed.name);
        count(-(static_cast<int64_t>(freed.size) + XV_MEM_ELE_ACCOUNTED));
        if (kept) {
            keep(found.block);
        } else {
            heap->release_block(found.block);
        }
        tracker.elements--;
        return 0;
    }
    // A kept block was freed already: to its caller it is as free as any.
    if (found.block && !is_kept(found.block)) {
        heap->release_block(found.block);
    } else {
        report(INVALID_BLOCK);
    }
    xv_error("Warning, did not add with xv_malloc()");
    return 0;
}

void xv_mem_release(void *pointer) {
    if (pointer) {
        xv_mem_free(pointer);
    }
}

void *xv_mem_malloc_at(const char *file, int line, size_t size) {
    xv_error_set_file_line(file, line);
    void *pointer = xv_mem_malloc(size);
    name_after_place(pointer, "", file, line);
    return pointer;
}

void *xv_mem_calloc_at(const char *file, int line, size_t count, size_t size) {
    xv_error_set_file_line(file, line);
    void *pointer = xv_mem_calloc(count, size);
    name_after_place(pointer, "", file, line);
    return pointer;
}

void *xv_mem_realloc_at(const char *file, int line, void *pointer, size_t size) {
    xv_error_set_file_line(file, line);
    void *moved = xv_mem_realloc(pointer, size);
    if (moved && running() && !xv_mem_get_name(moved)) {
        name_after_place(moved, "", file, line);
    }
    return moved;
}

int xv_mem_free_at(const char *file, int line, void *pointer) {
    xv_error_set_file_line(file, line);
    return xv_mem_free(pointer);
}

int xv_mem_set_name(void *pointer, const char *name) {
    if (!pointer) {
        report(NAME_NULL);
        return 0;
    }
    name = name ? name : "";
    uint32_t offset = running() ? find_tracked(pointer).element : 0;
    if (!offset) {
        if (reporting()) {
            xv_error_raise(tracker.module, NAME_FOREIGN, "Name: %s", name);
        }
        return 0;
    }
    XV_MEM_ELE &named = element(offset);
    uint32_t renamed = named.name ? store_name("%s (Previously known as %s)", name,
                                               static_cast<char *>(heap->address_of(named.name)))
                                  : store_name("%s", name);
    if (!renamed) {
        return 0;
    }
    drop_name(named.name);
    named.name = renamed;
    return 1;
}

int xv_mem_set_name_at(const char *file, int line, void *pointer, const char *name) {
    xv_error_set_file_line(file, line);
    if (!tracker.name_buffer) {
        return xv_mem_set_name(pointer, name);
    }
    snprintf(tracker.name_buffer, kNameBufferSize,
             "%s (Allocated or Named in file: %s, on line: %d)", name ? name : "", file, line);
    return xv_mem_set_name(pointer, tracker.name_buffer);
}

const char *xv_mem_get_name(void *pointer) {
    uint32_t offset = running() && pointer ? find_tracked(pointer).element : 0;
    return offset ? static_cast<const char *>(heap->address_of(element(offset).name)) : nullptr;
}

void *xv_mem_internal_malloc(size_t size) {
    if (!running()) {
        return malloc(size);
    }
    void *pointer = heap->allocate(size);
    note_heap_use();
    if (pointer) {
        count(static_cast<int64_t>(size));
    } else {
        report(MALLOC_FAILED);
    }
    return pointer;
}

void xv_mem_internal_free(void *pointer, size_t size) {
    if (!pointer) {
        return;
    }
    if (!running()) {
        if (!from_dead_heap(pointer)) {
            free(pointer);
        }
        return;
    }
    uint32_t block = heap->find(pointer);
    if (block && !is_kept(block)) {
        heap->release_block(block);
        count(-static_cast<int64_t>(size));
    } else {
        report(INVALID_BLOCK);
    }
}

long xv_mem_used() {
    return static_cast<long>(tracker.tracked);
}

long xv_mem_max_used() {
    return static_cast<long>(tracker.tracked_peak);
}

int xv_mem_heap_check() {
    if (!running()) {
        return 1;
    }
    switch (heap->check()) {
    case xv::HeapCheck::sound:
        return 2;
    case xv::HeapCheck::damaged_region:
        xv_warning("A heap region's header is damaged", "xv_mem_heap_check error", XV_MB_OK);
        return 0;
    case xv::HeapCheck::damaged_block:
        xv_warning("A block header is damaged", "xv_mem_heap_check error", XV_MB_OK);
        return 0;
    case xv::HeapCheck::damaged_free_list:
        xv_warning("A free block is damaged", "xv_mem_heap_check free error", XV_MB_OK);
        return 0;
    }
    return 0;
}

int xv_mem_name_dump(const char *file_name) {
    // Plain streams: the tracker starts before the file layer and stops after it.
    FILE *file = fopen(os_file_find_path(file_name).c_str(), "w");
    if (!file) {
        xv_warning(xv_str_format("Error opening %s in xv_mem_name_dump", file_name).c_str(),
                   nullptr, XV_MB_OK);
        return 0;
    }
    fputs("\n\n*** xv_mem_name_dump() begin ***\n\n", file);
    long total = 0;
    std::vector<uint32_t> elements =
        running() ? elements_in_allocation_order() : std::vector<uint32_t>{};
    for (uint32_t offset : elements) {
        const XV_MEM_ELE &listed = element(offset);
        const char *name =
            listed.name ? static_cast<char *>(heap->address_of(listed.name)) : "(null)";
        fprintf(file, "PTR = %8x, Size = %10d, Name = %s\n", listed.data,
                static_cast<int>(listed.size), name);
        total += listed.size;
    }
    fprintf(file, "\nTotal RAM allocated: %ld\n", total);
    fputs("\n\n*** xv_mem_name_dump() end ***\n\n", file);
    fclose(file);
    return 1;
}

void xv_mem_align_push(uint32_t alignment) {
    if (!alignment || (alignment & (alignment - 1)) || alignment > kLargestAlignment) {
        if (reporting()) {
            xv_error(xv_str_format("xv_mem_align_push: alignment %u is not a power of two up to %u",
                                   alignment, kLargestAlignment)
                         .c_str());
        }
        return;
    }
    tracker.align_masks.push_back(alignment - 1);
}

void xv_mem_align_pop() {
    if (tracker.align_masks.empty()) {
        report(ALIGN_POP);
        return;
    }
    tracker.align_masks.pop_back();
}

void xv_mem_fill(void *pointer, int byte, size_t count) {
    memset(pointer, byte, count);
}

void *xv_mem_copy(void *destination, const void *source, size_t count) {
    return memmove(destination, source, count);
}

int xv_mem_compare(const void *a, const void *b, size_t count) {
    int order = memcmp(a, b, count);
    return (order > 0) - (order < 0);
}

XV_MEM_STATISTICS xv_mem_statistics() {
    XV_MEM_STATISTICS figures{};
    figures.total_ram = static_cast<int64_t>(tracker.total_ram);
    figures.free_ram = static_cast<int64_t>(tracker.free_ram);
    figures.used_ram = tracker.tracked_peak;
    figures.max_number_alloc = tracker.elements_peak;
    figures.number_alloc = tracker.elements;
    if (running()) {
        // What is kept back for reuse is free to the game.
        xv::HeapStatistics use = heap->statistics();
        auto kept = static_cast<int64_t>(tracker.kept.bytes);
        figures.total_size_heap = static_cast<int64_t>(use.free) + kept;
        figures.max_used_heap = static_cast<int64_t>(tracker.heap_peak);
        figures.used_heap =
            static_cast<int64_t>(use.in_use) - kept - int64_t{xv::kBlockHeaderSize} * use.regions;
    }
    return figures;
}

void xv_mem_set_statistics_writer(XV_MEM_STATISTICS_WRITER writer) {
    statistics_writer = writer;
}
