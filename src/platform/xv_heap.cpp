#include "xv_heap.h"

#include "os_memory.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace xv {

namespace {

constexpr uint64_t kArenaSize = uint64_t{1} << 32; // every offset fits 32 bits
constexpr uint64_t kSmallestArena = uint64_t{64} << 20;
// The largest block a request may ask for, leaving room for its header.
constexpr uint64_t kLargestBlock = UINT32_MAX - 0xFFFF;
// Excess bytes a block must have to be split rather than handed out whole.
constexpr uint64_t kSplitExcess = kBlockHeaderSize + 1;

// A header at an offset this much past the 16-byte grid ends on it.
constexpr uint32_t kGridLead =
    (kDataAlignment - kBlockHeaderSize % kDataAlignment) % kDataAlignment;
// So the first block, right after the region header, sits there.
constexpr uint32_t kRegionLead =
    (kGridLead + kDataAlignment - kRegionHeaderSize % kDataAlignment) % kDataAlignment;
static_assert(kGridLead == 4 && kRegionLead == 4);

constexpr uint64_t round_up(uint64_t n, uint64_t step) {
    return (n + step - 1) / step * step;
}

} // namespace

Arena::Arena() {
    for (uint64_t size = kArenaSize; size >= kSmallestArena && !base_; size /= 2) {
        base_ = static_cast<char *>(os_memory_reserve(size));
        size_ = base_ ? size : 0;
    }
}

Arena::~Arena() {
    if (base_) {
        os_memory_release(base_, size_);
    }
}

bool Arena::contains(const void *address) const {
    auto at = reinterpret_cast<uintptr_t>(address);
    auto base = reinterpret_cast<uintptr_t>(base_);
    return base_ && at >= base && at - base < size_;
}

Heap::Heap(Arena &arena, uint32_t size, GrowthHook on_growth)
    : arena_(arena), on_growth_(on_growth), page_(os_memory_page_size()) {
    // The arena's first page is never committed, so that offset 0 means none.
    committed_end_ = page_;
    if (arena_.valid()) {
        add_region(size);
    }
}

uint64_t Heap::block_size_for(uint64_t size) {
    return size <= kGridLead ? kGridLead : kGridLead + round_up(size - kGridLead, kDataAlignment);
}

Heap::~Heap() {
    for (const Span &span : spans_) {
        os_memory_decommit(arena_.base() + span.offset, span.size);
    }
}

void Heap::note_use(int64_t bytes) {
    statistics_.in_use += bytes;
    statistics_.in_use_peak = std::max(statistics_.in_use_peak, statistics_.in_use);
}

// A region is one commit at the top of what the arena has committed so far,
// holding a single free block to begin with.
bool Heap::add_region(uint64_t size) {
    // The free block the region starts with must be a size blocks can have.
    size = block_size_for(std::max<uint64_t>(size, kBlockHeaderSize) - kBlockHeaderSize) +
           kBlockHeaderSize;
    uint64_t start = committed_end_;
    uint64_t end = round_up(start + kRegionLead + kRegionHeaderSize + size, page_);
    if (size > kLargestBlock || end > arena_.size() ||
        !os_memory_commit(arena_.base() + start, end - start)) {
        return false;
    }
    spans_.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(end - start)});
    committed_end_ = end;

    auto offset = static_cast<uint32_t>(start + kRegionLead);
    uint32_t first = offset + kRegionHeaderSize;
    region(offset) = RegionHeader{kRegionMagic, first, 1,           static_cast<uint32_t>(size), 0,
                                  first,        0,     last_region_};
    if (last_region_) {
        region(last_region_).next = offset;
    } else {
        first_region_ = offset;
    }
    last_region_ = offset;

    BlockHeader &free_block = block(first);
    free_block = BlockHeader{};
    free_block.magic = kBlockFreeMagic;
    free_block.size = static_cast<uint32_t>(size) - kBlockHeaderSize;
    free_block.data = first + kBlockHeaderSize;
    free_block.region = offset;
    free_block.self = first;
    bin_insert(first);

    statistics_.regions++;
    statistics_.free += free_block.size;
    note_use(kBlockHeaderSize);
    return true;
}

void *Heap::allocate(uint64_t size, uint32_t align_mask, uint32_t lead, uint32_t *block_out) {
    // Data on the grid is aligned to 16 already; only more costs room.
    if (align_mask < kDataAlignment) {
        align_mask = 0;
    }
    uint64_t wanted = block_size_for(size + lead + align_mask);
    if (wanted > kLargestBlock) {
        return nullptr;
    }
    auto n = static_cast<uint32_t>(wanted);
    uint32_t offset = choose(n);
    if (!offset && reclaim_ && reclaim_()) {
        offset = choose(n);
    }
    if (!offset) {
        if (on_growth_) {
            on_growth_();
        }
        uint64_t region_size = n >= kGrowthRegionSize - kBlockHeaderSize
                                   ? uint64_t{n} + kBlockHeaderSize
                                   : kGrowthRegionSize;
        if (!add_region(region_size) || !(offset = choose(n))) {
            return nullptr;
        }
    }
    take(offset, n);

    auto first_byte = reinterpret_cast<uintptr_t>(arena_.base()) + offset + kBlockHeaderSize + lead;
    uintptr_t aligned = (first_byte + align_mask) & ~uintptr_t{align_mask};
    link_data(offset, offset_of(reinterpret_cast<void *>(aligned)));
    if (block_out) {
        *block_out = offset;
    }
    return reinterpret_cast<void *>(aligned);
}

// The word before the data leads back to the header; when the data follows
// the header directly, that word is the header's own self field.
void Heap::link_data(uint32_t offset, uint32_t data) {
    block(offset).data = data;
    memcpy(arena_.base() + data - 4, &offset, 4);
}

// Exact fit first. Otherwise the smallest block that can be split, so that
// what is left stays usable; only when none can be split, the smallest
// block that is a little too big, handed out whole.
uint32_t Heap::choose(uint32_t size) const {
    uint32_t best = smallest_at_least(size);
    if (!best) {
        return 0;
    }
    uint32_t best_size = block(best).size;
    if (best_size == size || best_size >= size + kSplitExcess) {
        return best;
    }
    uint32_t splittable = smallest_at_least(size + kSplitExcess);
    return splittable ? splittable : best;
}

void Heap::take(uint32_t offset, uint32_t size) {
    BlockHeader &taken = block(offset);
    bin_remove(offset);
    if (taken.size <= size + kBlockHeaderSize) {
        statistics_.free -= taken.size;
        note_use(taken.size);
        note_previous(taken.next, false);
    } else {
        // The rest becomes a free block right after the first size bytes.
        bin_insert(cut(offset, size, kBlockFreeMagic));
        statistics_.free -= size + kBlockHeaderSize;
        note_use(size + kBlockHeaderSize);
    }
    taken.magic = kBlockUsedMagic;
}

bool Heap::release(void *data) {
    uint32_t block = find(data);
    if (block) {
        release_block(block);
    }
    return block != 0;
}

void Heap::release_block(uint32_t offset) {
    BlockHeader &released = block(offset);
    bool previous_free = released.next_free == kPreviousFree;
    released.magic = kBlockFreeMagic;
    released.data = offset + kBlockHeaderSize;
    released.spare[0] = released.spare[1] = 0;
    released.next_free = 0;
    statistics_.free += released.size;
    note_use(-int64_t{released.size});

    uint32_t merged = offset;
    if (previous_free) {
        merged = released.previous;
        bin_remove(merged);
        absorb_next(merged);
        statistics_.free += kBlockHeaderSize;
        note_use(-int64_t{kBlockHeaderSize});
    }
    uint32_t next = block(merged).next;
    if (next && block(next).magic == kBlockFreeMagic) {
        bin_remove(next);
        absorb_next(merged);
        statistics_.free += kBlockHeaderSize;
        note_use(-int64_t{kBlockHeaderSize});
    } else {
        note_previous(next, true);
    }
    bin_insert(merged);
}

// Tells the block at offset, if it is in use, whether the one before it is
// free. A free block needs no telling: two free blocks are never neighbours.
void Heap::note_previous(uint32_t offset, bool free) {
    if (offset && block(offset).magic == kBlockUsedMagic) {
        block(offset).next_free = free ? kPreviousFree : 0;
    }
}

// Joins the following block, which is free and out of its size bin, to this one.
void Heap::absorb_next(uint32_t offset) {
    BlockHeader &grown = block(offset);
    BlockHeader &next = block(grown.next);
    grown.size += kBlockHeaderSize + next.size;
    grown.next = next.next;
    if (next.next) {
        block(next.next).previous = offset;
    }
    next.magic = 0; // the old header is plain data now
}

// Cuts a block in use down to keep bytes; the rest is freed.
void Heap::split(uint32_t offset, uint32_t keep) {
    // The new header stays counted in use; releasing the rest frees its data.
    release_block(cut(offset, keep, kBlockUsedMagic));
}

// Ends the block at offset after its first keep bytes: what follows gets a
// header of its own, marked with magic, and its place in the chain.
uint32_t Heap::cut(uint32_t offset, uint32_t keep, uint32_t magic) {
    BlockHeader &kept = block(offset);
    uint32_t rest_offset = offset + kBlockHeaderSize + keep;
    BlockHeader &rest = block(rest_offset);
    rest = BlockHeader{};
    rest.magic = magic;
    rest.size = kept.size - keep - kBlockHeaderSize;
    rest.data = rest_offset + kBlockHeaderSize;
    rest.region = kept.region;
    rest.next = kept.next;
    rest.previous = offset;
    rest.self = rest_offset;
    if (kept.next) {
        block(kept.next).previous = rest_offset;
    }
    kept.next = rest_offset;
    kept.size = keep;
    return rest_offset;
}

void *Heap::resize(void *data, uint64_t size, uint32_t align_mask, uint32_t lead,
                   uint32_t *block_out) {
    uint32_t offset = find(data);
    if (!offset) {
        return nullptr;
    }
    if (block_out) {
        *block_out = offset;
    }
    BlockHeader &current = block(offset);
    // The block keeps its data where it is: the bytes before it count.
    uint32_t before_data = current.data - offset - kBlockHeaderSize;
    uint64_t wanted = block_size_for(size) + before_data;
    if (wanted > kLargestBlock) {
        return nullptr;
    }
    auto n = static_cast<uint32_t>(wanted);
    if (n == current.size) {
        return data;
    }
    if (n < current.size) {
        if (current.size - n >= kSplitExcess) {
            split(offset, n);
        }
        return data;
    }
    uint32_t next = current.next;
    if (next && block(next).magic == kBlockFreeMagic &&
        uint64_t{current.size} + kBlockHeaderSize + block(next).size >= n) {
        uint32_t absorbed = block(next).size;
        bin_remove(next);
        absorb_next(offset);
        note_previous(current.next, false);
        statistics_.free -= absorbed;
        note_use(absorbed);
        if (current.size - n >= kSplitExcess) {
            split(offset, n);
        }
        return data;
    }
    uint32_t moved_block = 0;
    void *moved = allocate(size, align_mask, lead, &moved_block);
    if (!moved) {
        return nullptr;
    }
    memcpy(moved, data, std::min<uint64_t>(current.size - before_data, size));
    memcpy(arena_.base() + moved_block + kBlockHeaderSize,
           arena_.base() + offset + kBlockHeaderSize, std::min(lead, before_data));
    link_data(moved_block, block(moved_block).data); // the copy took the old block's word
    release_block(offset);
    if (block_out) {
        *block_out = moved_block;
    }
    return moved;
}

// ---- validation -----------------------------------------------------------

// Reads only committed memory, and trusts no offset it has not checked.
uint32_t Heap::find(const void *data) const {
    uint32_t offset = find_own(data);
    return offset && sound_next(offset) ? offset : 0;
}

uint32_t Heap::find_own(const void *data) const {
    if (!arena_.contains(data)) {
        return 0;
    }
    uint64_t at = static_cast<const char *>(data) - arena_.base();
    uint64_t lowest = page_ + kRegionLead + kRegionHeaderSize + kBlockHeaderSize;
    if (at % kDataAlignment || at < lowest || at > committed_end_) {
        return 0;
    }
    // A block not aligned past its lead has its header at most this far
    // back: it is fetched with the word that leads to it, not after it.
    __builtin_prefetch(arena_.base() + at - kBlockHeaderSize - kDataAlignment);
    uint32_t offset;
    memcpy(&offset, arena_.base() + at - 4, 4);
    if (offset % kDataAlignment != kGridLead || offset < lowest - kBlockHeaderSize ||
        uint64_t{offset} + kBlockHeaderSize > at) {
        return 0;
    }
    const BlockHeader &header = block(offset);
    if (header.magic != kBlockUsedMagic || header.self != offset || header.data != at) {
        return 0;
    }
    uint64_t after = uint64_t{offset} + kBlockHeaderSize + header.size;
    uint64_t end = region_end(header.region);
    if (!end || offset < header.region + kRegionHeaderSize || after > end ||
        header.next != (after < end ? after : 0)) {
        return 0;
    }
    return sound_previous(offset, header) ? offset : 0;
}

// find_own has checked that the next block's header lies within the region.
bool Heap::sound_next(uint32_t offset) const {
    const BlockHeader &header = block(offset);
    return !header.next || (uint64_t{header.next} + kBlockHeaderSize <= region_end(header.region) &&
                            sound_neighbour(header.next));
}

// The previous neighbour's header is read only when the block says it is
// free, to merge with it: then it must be a sound free block that leads here.
bool Heap::sound_previous(uint32_t offset, const BlockHeader &header) const {
    if (header.previous_free || header.next_free > kPreviousFree) {
        return false;
    }
    if (!header.previous) {
        return offset == header.region + kRegionHeaderSize && !header.next_free;
    }
    if (header.previous < header.region + kRegionHeaderSize ||
        uint64_t{header.previous} + kBlockHeaderSize > offset) {
        return false;
    }
    return !header.next_free ||
           (sound_neighbour(header.previous) && block(header.previous).magic == kBlockFreeMagic &&
            block(header.previous).next == offset);
}

// The end of the region at offset, or 0 when that is not a sound region.
uint64_t Heap::region_end(uint32_t offset) const {
    // Pages are a power of two: the mask spares every free a division.
    if (offset < page_ || (offset & (page_ - 1)) != kRegionLead ||
        uint64_t{offset} + kRegionHeaderSize > committed_end_) {
        return 0;
    }
    const RegionHeader &header = region(offset);
    uint64_t end = uint64_t{offset} + kRegionHeaderSize + header.size;
    return header.magic == kRegionMagic && end <= committed_end_ ? end : 0;
}

bool Heap::sound_neighbour(uint32_t offset) const {
    const BlockHeader &header = block(offset);
    return (header.magic == kBlockUsedMagic || header.magic == kBlockFreeMagic) &&
           header.self == offset;
}

bool Heap::holds(uint64_t offset, uint64_t size) const {
    return offset >= page_ && offset + size <= committed_end_;
}

// ---- size bins --------------------------------------------------------------
//
// Free blocks are filed by size so that the best fit is found without a
// search: one bin per block size below 8192 bytes, then eight bins per
// power of two. A bitmap tells which bins hold anything.

int Heap::bin_of(uint32_t size) {
    if (size < kExactBins * kDataAlignment) {
        return static_cast<int>(size / kDataAlignment);
    }
    int bit = std::bit_width(size) - 1;
    return kExactBins + (bit - 13) * 8 + static_cast<int>((size >> (bit - 3)) & 7);
}

void Heap::bin_insert(uint32_t offset) {
    BlockHeader &header = block(offset);
    int bin = bin_of(header.size);
    header.spare[0] = header.spare[1] = 0;
    header.next_free = bin_head_[bin];
    header.previous_free = 0;
    if (bin_head_[bin]) {
        block(bin_head_[bin]).previous_free = offset;
    }
    bin_head_[bin] = offset;
    bin_bits_[bin / 64] |= uint64_t{1} << (bin % 64);
    bin_words_ |= 1u << (bin / 64);
}

void Heap::bin_remove(uint32_t offset) {
    BlockHeader &header = block(offset);
    int bin = bin_of(header.size);
    if (header.previous_free) {
        block(header.previous_free).next_free = header.next_free;
    } else {
        bin_head_[bin] = header.next_free;
    }
    if (header.next_free) {
        block(header.next_free).previous_free = header.previous_free;
    }
    header.next_free = header.previous_free = 0;
    if (!bin_head_[bin]) {
        bin_bits_[bin / 64] &= ~(uint64_t{1} << (bin % 64));
        if (!bin_bits_[bin / 64]) {
            bin_words_ &= ~(1u << (bin / 64));
        }
    }
}

int Heap::next_bin(int from) const {
    if (from >= kBinCount) {
        return -1;
    }
    int word = from / 64;
    uint64_t bits = bin_bits_[word] & (~uint64_t{0} << (from % 64));
    if (!bits) {
        uint32_t words = bin_words_ & (~0u << word << 1);
        if (!words) {
            return -1;
        }
        word = std::countr_zero(words);
        bits = bin_bits_[word];
    }
    return word * 64 + std::countr_zero(bits);
}

// Within a bin of mixed sizes: the smallest block of at least at_least
// bytes, the most recently freed among equals.
uint32_t Heap::smallest_in_bin(int bin, uint32_t at_least) const {
    uint32_t best = 0;
    uint32_t best_size = 0;
    for (uint32_t offset = bin_head_[bin]; offset; offset = block(offset).next_free) {
        uint32_t size = block(offset).size;
        if (size >= at_least && (!best || size < best_size)) {
            best = offset;
            best_size = size;
            if (size == at_least) {
                break;
            }
        }
    }
    return best;
}

uint32_t Heap::smallest_at_least(uint64_t size) const {
    size = block_size_for(size);
    if (size > kLargestBlock) {
        return 0;
    }
    int bin = bin_of(static_cast<uint32_t>(size));
    if (bin >= kExactBins) {
        if (uint32_t offset = smallest_in_bin(bin, static_cast<uint32_t>(size))) {
            return offset;
        }
        ++bin;
    }
    bin = next_bin(bin);
    if (bin < 0) {
        return 0;
    }
    return bin < kExactBins ? bin_head_[bin] : smallest_in_bin(bin, 0);
}

// ---- walking ----------------------------------------------------------------

HeapCheck Heap::check() const {
    uint32_t seen = 0;
    uint32_t free_blocks = 0;
    for (uint32_t offset = first_region_; offset; offset = region(offset).next) {
        if (++seen > statistics_.regions || !region_end(offset)) {
            return HeapCheck::damaged_region;
        }
        if (HeapCheck result = check_region(offset, &free_blocks); result != HeapCheck::sound) {
            return result;
        }
    }
    return check_bins(free_blocks);
}

// Walks the blocks by their sizes, so that a damaged link cannot send the
// walk astray, and checks every link against what it found.
HeapCheck Heap::check_region(uint32_t offset, uint32_t *free_blocks) const {
    uint64_t end = region_end(offset);
    uint32_t previous = 0;
    bool previous_free = false;
    for (uint64_t at = offset + kRegionHeaderSize; at < end;) {
        if (at + kBlockHeaderSize > end) {
            return HeapCheck::damaged_block;
        }
        auto here = static_cast<uint32_t>(at);
        const BlockHeader &header = block(here);
        uint64_t after = at + kBlockHeaderSize + header.size;
        if ((header.magic != kBlockUsedMagic && header.magic != kBlockFreeMagic) ||
            header.self != here || header.region != offset || header.previous != previous ||
            after > end || header.next != (after < end ? after : 0)) {
            return HeapCheck::damaged_block;
        }
        bool free = header.magic == kBlockFreeMagic;
        // Two free neighbours mean a merge was lost; a block in use must know
        // whether the one before it is free.
        if (free
                ? previous_free
                : header.next_free != (previous_free ? kPreviousFree : 0) || header.previous_free) {
            return HeapCheck::damaged_block;
        }
        *free_blocks += free;
        previous_free = free;
        previous = here;
        at = after;
    }
    return HeapCheck::sound;
}

// Every free list must hold free blocks of its own sizes, linked both ways,
// and all of them together every free block the regions hold.
HeapCheck Heap::check_bins(uint32_t free_blocks) const {
    uint32_t listed = 0;
    for (int bin = 0; bin < kBinCount; ++bin) {
        uint32_t previous = 0;
        for (uint32_t free = bin_head_[bin]; free; free = block(free).next_free) {
            if (++listed > free_blocks || !holds(free, kBlockHeaderSize) ||
                free % kDataAlignment != kGridLead) {
                return HeapCheck::damaged_free_list;
            }
            const BlockHeader &header = block(free);
            if (header.magic != kBlockFreeMagic || header.self != free ||
                header.previous_free != previous || bin_of(header.size) != bin) {
                return HeapCheck::damaged_free_list;
            }
            previous = free;
        }
    }
    return listed == free_blocks ? HeapCheck::sound : HeapCheck::damaged_free_list;
}

std::vector<HeapBlock> Heap::blocks() const {
    std::vector<HeapBlock> found;
    uint32_t seen = 0;
    for (uint32_t offset = first_region_; offset && ++seen <= statistics_.regions;
         offset = region(offset).next) {
        uint64_t end = region_end(offset);
        if (!end) {
            break;
        }
        for (uint64_t at = offset + kRegionHeaderSize; at + kBlockHeaderSize <= end;) {
            auto here = static_cast<uint32_t>(at);
            const BlockHeader &header = block(here);
            if (!sound_neighbour(here)) {
                break;
            }
            found.push_back({here, header.size, header.magic == kBlockFreeMagic});
            at += kBlockHeaderSize + uint64_t{header.size};
        }
    }
    return found;
}

} // namespace xv
