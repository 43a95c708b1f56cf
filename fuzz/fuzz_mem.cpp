// The memory tracker under any sequence of allocations, frees, resizes,
// alignments and names: the heap must stay sound, every block must keep its
// bytes, and freeing everything must leave nothing behind.
#include "xv.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Input {
  public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint32_t number(uint32_t below) { return (byte() | byte() << 8 | byte() << 16) % below; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

struct Block {
    unsigned char *data;
    size_t size;
    unsigned char fill;
};

void check_or_die(bool sound) {
    if (!sound) {
        abort();
    }
}

// Compared through the C library, which the fuzzer does not instrument:
// counting coverage on every byte would slow it down for nothing.
void check_filled(const unsigned char *data, size_t size, unsigned char fill) {
    static unsigned char pattern[4096];
    memset(pattern, fill, sizeof pattern);
    for (size_t at = 0; at < size; at += sizeof pattern) {
        check_or_die(memcmp(data + at, pattern, std::min(sizeof pattern, size - at)) == 0);
    }
}

void check_bytes(const Block &block) {
    check_filled(block.data, block.size, block.fill);
}

size_t any_size(Input &input) {
    // Mostly small, now and then large enough to need a region of its own.
    return input.byte() % 64 ? input.number(600) : (1 << 20) + input.number(1 << 18);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    XV_ERROR_CONFIG errors{0};
    XV_MEM_CONFIG memory{0, 64 * 1024}; // small, so that regions get added
    xv_error_init(&errors);
    xv_mem_init(&memory);

    Input input(data, size);
    std::vector<Block> live;
    int alignments = 0;
    unsigned char fill = 1;
    while (input.more()) {
        size_t pick = live.empty() ? 0 : input.number(static_cast<uint32_t>(live.size()));
        switch (input.byte() % 8) {
        case 0:
        case 1: {
            size_t bytes = any_size(input);
            auto *block = static_cast<unsigned char *>(xv_mem_malloc(bytes));
            check_or_die(block != nullptr);
            memset(block, ++fill, bytes);
            live.push_back({block, bytes, fill});
            break;
        }
        case 2:
            if (!live.empty()) {
                check_bytes(live[pick]);
                xv_mem_free(live[pick].data);
                live[pick] = live.back();
                live.pop_back();
            }
            break;
        case 3:
            if (!live.empty()) {
                Block &block = live[pick];
                size_t bytes = any_size(input);
                auto *moved = static_cast<unsigned char *>(xv_mem_realloc(block.data, bytes));
                check_or_die(moved != nullptr);
                check_filled(moved, std::min(bytes, block.size), block.fill);
                memset(moved, block.fill, bytes);
                block = {moved, bytes, block.fill};
            }
            break;
        case 4:
            if (input.byte() % 2 && alignments > 0) {
                xv_mem_align_pop();
                --alignments;
            } else {
                xv_mem_align_push(1u << (input.byte() % 10));
                ++alignments;
            }
            break;
        case 5:
            if (!live.empty()) {
                char name[32];
                snprintf(name, sizeof name, "block %u", input.byte());
                check_or_die(xv_mem_set_name(live[pick].data, name) == 1);
            }
            break;
        case 6: {
            size_t count = input.number(64);
            auto *block = static_cast<unsigned char *>(xv_mem_calloc(count, 8));
            check_filled(block, count * 8, 0);
            memset(block, ++fill, count * 8);
            live.push_back({block, count * 8, fill});
            break;
        }
        case 7:
            check_or_die(xv_mem_heap_check() == 2);
            break;
        }
    }
    for (Block &block : live) {
        check_bytes(block);
        xv_mem_free(block.data);
    }
    check_or_die(xv_mem_heap_check() == 2);
    check_or_die(xv_mem_deinit() == 1);
    return 0;
}
