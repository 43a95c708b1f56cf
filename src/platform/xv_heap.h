// The memory tracker's own heap: a few large regions carved into blocks,
// each behind a checked header. Internal to the memory module.
//
// Everything in the heap is addressed by a 32-bit offset into one reserved
// range of address space (the arena), so headers keep the layout they had
// when pointers were 32 bits: a region header of eight words and a block
// header of eleven, 44 bytes, whatever the machine's pointer size.
//
// Every block's data starts on a 16-byte boundary, as the system
// allocator's does, so that any object can live in it: regions begin 4
// bytes into a page, and block sizes are kept 4 more than a multiple of 16,
// so that each 44-byte header ends on the boundary. Sizes stay multiples of
// 4, and a 1-byte block still takes 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xv {

inline constexpr uint32_t kRegionMagic = 0x27EFCDAB;
inline constexpr uint32_t kBlockUsedMagic = 0x12EFCDAB;
inline constexpr uint32_t kBlockFreeMagic = 0xFFEFCDAB;
inline constexpr uint32_t kPreviousFree = 1;
inline constexpr uint32_t kRegionHeaderSize = 32;
inline constexpr uint32_t kBlockHeaderSize = 44;
inline constexpr uint32_t kDataAlignment = 16;
inline constexpr uint32_t kDefaultHeapSize = 0x500000;
// A region added when the heap runs out holds one megabyte of data (a few
// bytes more, to stay on the 16-byte grid).
inline constexpr uint32_t kGrowthRegionSize = 0x100000 + kBlockHeaderSize;

// Eight words at the start of every region.
struct RegionHeader {
    uint32_t magic;
    uint32_t first_block;
    uint32_t flag;      // always 1
    uint32_t size;      // bytes after this header
    uint32_t free_head; // 0: free blocks are listed by size, heap-wide
    uint32_t chain_head;
    uint32_t next;
    uint32_t previous;
};

// Eleven words before every block's data.
struct BlockHeader {
    uint32_t magic; // kBlockUsedMagic or kBlockFreeMagic
    uint32_t size;  // data bytes, a multiple of 4
    uint32_t data;  // what the caller was given: header + 44, or higher when aligned
    // Lent to whoever holds a block in use (the tracker marks its blocks
    // there); zero in a free block.
    uint32_t spare[2];
    uint32_t region;
    uint32_t next; // neighbours in the region, in address order
    uint32_t previous;
    // A free block: its neighbours in the free list of its size bin. A block
    // in use keeps kPreviousFree in next_free when the block before it is
    // free, so that a free learns whether to merge backwards without reading
    // that header, far off in a cold cache line; previous_free stays zero.
    uint32_t next_free;
    uint32_t previous_free;
    uint32_t self; // the header's own offset
};

static_assert(sizeof(RegionHeader) == kRegionHeaderSize);
static_assert(sizeof(BlockHeader) == kBlockHeaderSize);

// A range of address space reserved once; the heap commits regions in it
// from the bottom up. Offsets into it are the heap's addresses; 0 is none.
class Arena {
  public:
    Arena();
    ~Arena();
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;

    bool valid() const { return base_ != nullptr; }
    char *base() const { return base_; }
    size_t size() const { return size_; }
    bool contains(const void *address) const;

  private:
    char *base_ = nullptr;
    size_t size_ = 0;
};

struct HeapStatistics {
    uint64_t in_use; // data of blocks in use, and every header
    uint64_t in_use_peak;
    uint64_t free; // data of free blocks
    uint32_t regions;
};

enum class HeapCheck { sound, damaged_region, damaged_block, damaged_free_list };

// One block as the heap sees it, for reports and tests.
struct HeapBlock {
    uint32_t offset;
    uint32_t size;
    bool free;
};

class Heap {
  public:
    using GrowthHook = void (*)();
    // Asked before the heap grows: gives blocks its holder kept back to the
    // heap, and says whether it gave any (then the heap looks again first).
    using ReclaimHook = bool (*)();

    // The first region holds size bytes (rounded up to 4); on_growth is told
    // before every further region is added.
    Heap(Arena &arena, uint32_t size, GrowthHook on_growth = nullptr);
    ~Heap();
    Heap(const Heap &) = delete;
    Heap &operator=(const Heap &) = delete;

    bool valid() const { return first_region_ != 0; }
    void set_reclaim(ReclaimHook reclaim) { reclaim_ = reclaim; }

    // The size of the block that holds a request of size bytes.
    static uint64_t block_size_for(uint64_t size);

    // A block of at least size bytes whose data begins lead bytes (a
    // multiple of 16) after the header, or further on to align it to
    // align_mask + 1. The lead is the holder's, but for its last word when
    // the data follows it: that word leads back to the header. block, when
    // given, receives the header.
    void *allocate(uint64_t size, uint32_t align_mask = 0, uint32_t lead = 0,
                   uint32_t *block = nullptr);
    // False, changing nothing, when data is not the data of a block in use.
    bool release(void *data);
    // The block grown or shrunk in place when it can be, else moved with its
    // lead (a moved block is aligned to align_mask + 1). Null, the block
    // untouched, when no memory is left.
    void *resize(void *data, uint64_t size, uint32_t align_mask = 0, uint32_t lead = 0,
                 uint32_t *block = nullptr);

    // The header of the block in use whose data starts at data, with sound
    // neighbours; 0 for anything else (a foreign pointer, a free block, a
    // damaged header). The calls below take what it found.
    uint32_t find(const void *data) const;
    // find without the look at the next block's header, for a block its
    // holder keeps rather than frees (nothing merges with that neighbour);
    // sound_next is that look, for a block find_own found.
    uint32_t find_own(const void *data) const;
    bool sound_next(uint32_t offset) const;
    void release_block(uint32_t block);
    // The two spare header words of a block in use; zero when it is made.
    uint32_t user_word(uint32_t offset, int index) const { return block(offset).spare[index]; }
    void set_user_word(uint32_t offset, int index, uint32_t value) {
        block(offset).spare[index] = value;
    }
    bool is_block(const void *data) const { return find(data) != 0; }
    // Whether offset holds the header of a block in use (a quick look, for
    // a block its holder keeps track of: not the neighbours find checks).
    bool in_use(uint32_t offset) const {
        return offset >= page_ && uint64_t{offset} + kBlockHeaderSize <= committed_end_ &&
               block(offset).magic == kBlockUsedMagic && block(offset).self == offset;
    }
    // The data bytes of a block, and where its data starts.
    uint32_t block_size(uint32_t offset) const { return block(offset).size; }
    uint32_t data_offset(uint32_t offset) const { return block(offset).data; }

    // Whether [offset, offset + size) lies in memory the heap has committed.
    bool holds(uint64_t offset, uint64_t size) const;
    uint32_t offset_of(const void *address) const {
        return static_cast<uint32_t>(static_cast<const char *>(address) - arena_.base());
    }
    void *address_of(uint32_t offset) const { return offset ? arena_.base() + offset : nullptr; }

    HeapCheck check() const;
    HeapStatistics statistics() const { return statistics_; }
    // Every block in address order, as far as the headers are sound.
    std::vector<HeapBlock> blocks() const;

  private:
    static constexpr int kExactBins = 512; // sizes below 8192, one bin each
    static constexpr int kBinCount = kExactBins + (32 - 13) * 8;
    static constexpr int kBinWords = (kBinCount + 63) / 64;

    BlockHeader &block(uint32_t offset) const {
        return *reinterpret_cast<BlockHeader *>(arena_.base() + offset);
    }
    RegionHeader &region(uint32_t offset) const {
        return *reinterpret_cast<RegionHeader *>(arena_.base() + offset);
    }
    uint64_t region_end(uint32_t offset) const;
    bool sound_neighbour(uint32_t offset) const;
    bool sound_previous(uint32_t offset, const BlockHeader &header) const;
    void note_previous(uint32_t offset, bool free);

    bool add_region(uint64_t size);
    void link_data(uint32_t block, uint32_t data);
    uint32_t choose(uint32_t size) const;
    void take(uint32_t offset, uint32_t size);
    void split(uint32_t offset, uint32_t keep);
    uint32_t cut(uint32_t offset, uint32_t keep, uint32_t magic);
    void absorb_next(uint32_t offset);
    void note_use(int64_t bytes);

    static int bin_of(uint32_t size);
    void bin_insert(uint32_t offset);
    void bin_remove(uint32_t offset);
    int next_bin(int from) const;
    uint32_t smallest_in_bin(int bin, uint32_t at_least) const;
    uint32_t smallest_at_least(uint64_t size) const;

    HeapCheck check_region(uint32_t offset, uint32_t *free_blocks) const;
    HeapCheck check_bins(uint32_t free_blocks) const;

    // What each region committed, to give back exactly that.
    struct Span {
        uint32_t offset;
        uint32_t size;
    };

    Arena &arena_;
    GrowthHook on_growth_;
    ReclaimHook reclaim_ = nullptr;
    uint64_t page_;
    uint32_t first_region_ = 0;
    uint32_t last_region_ = 0;
    uint64_t committed_end_ = 0; // regions fill the arena from its first page up to here
    std::vector<Span> spans_;
    HeapStatistics statistics_{};
    uint32_t bin_head_[kBinCount] = {};
    uint64_t bin_bits_[kBinWords] = {}; // which bins hold a block
    uint32_t bin_words_ = 0;            // which words of bin_bits_ are not zero
};

} // namespace xv
