#include "xv_heap.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

using xv::Heap;
using xv::HeapBlock;
using xv::HeapCheck;
using xv::kBlockHeaderSize;

HeapBlock block_at(const Heap &heap, uint32_t offset) {
    for (const HeapBlock &block : heap.blocks()) {
        if (block.offset == offset) {
            return block;
        }
    }
    return {0, 0, false};
}

uint32_t header(const Heap &heap, const void *data) {
    return heap.find(data);
}

// What the regions hold by the counters, and by the blocks themselves.
uint64_t counted_bytes(const Heap &heap) {
    return heap.statistics().in_use + heap.statistics().free;
}
uint64_t block_bytes(const Heap &heap) {
    uint64_t total = 0;
    for (const HeapBlock &block : heap.blocks()) {
        total += kBlockHeaderSize + block.size;
    }
    return total;
}

// Leaves free blocks of the given sizes, each between two blocks in use,
// and nothing else free.
std::vector<uint32_t> make_holes(Heap &heap, std::initializer_list<uint32_t> sizes) {
    std::vector<void *> holes;
    heap.allocate(4);
    for (uint32_t size : sizes) {
        holes.push_back(heap.allocate(size));
        heap.allocate(4);
    }
    heap.allocate(heap.blocks().back().size); // the rest of the region
    std::vector<uint32_t> offsets;
    for (void *hole : holes) {
        offsets.push_back(header(heap, hole));
        heap.release(hole);
    }
    return offsets;
}

class HeapTest : public ::testing::Test {
  protected:
    xv::Arena arena;
};

TEST_F(HeapTest, BlocksSitBehind44ByteHeadersWithDataOnTheSixteenByteGrid) {
    Heap heap(arena, 1024);
    ASSERT_EQ(heap.blocks().size(), 1u);
    EXPECT_EQ(heap.blocks()[0].size, 1024 - kBlockHeaderSize);
    EXPECT_EQ(heap.statistics().in_use, kBlockHeaderSize);

    void *one = heap.allocate(1);
    EXPECT_EQ(block_at(heap, header(heap, one)).size, 4u);
    EXPECT_EQ(heap.statistics().in_use, 2 * kBlockHeaderSize + 4);
    for (uint64_t size : {5, 20, 21, 100, 300}) {
        void *data = heap.allocate(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u) << size;
        EXPECT_EQ(block_at(heap, header(heap, data)).size, Heap::block_size_for(size));
        EXPECT_EQ(Heap::block_size_for(size) % 4, 0u);
    }
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

// Spare bytes become a block of their own only when they hold a header and
// more: up to 44 stay with the block (on the grid: 32), more are split off.
TEST_F(HeapTest, BlockTooSmallToSplitIsTakenWholeAndALargerOneIsSplit) {
    const uint32_t n = 100;
    Heap whole(arena, n + 32 + kBlockHeaderSize);
    ASSERT_NE(whole.allocate(n), nullptr);
    ASSERT_EQ(whole.blocks().size(), 1u);
    EXPECT_EQ(whole.blocks()[0].size, n + 32);

    xv::Arena other_arena;
    Heap split(other_arena, n + 48 + kBlockHeaderSize);
    ASSERT_NE(split.allocate(n), nullptr);
    ASSERT_EQ(split.blocks().size(), 2u);
    EXPECT_EQ(split.blocks()[0].size, n);
    EXPECT_EQ(split.blocks()[1].size, 4u);
}

TEST_F(HeapTest, ExactFitFirstThenTheSmallestBlockThatCanBeSplit) {
    Heap heap(arena, 4096);
    std::vector<uint32_t> holes = make_holes(heap, {100, 68, 212, 116});
    EXPECT_EQ(header(heap, heap.allocate(68)), holes[1]);
    // 100 and 116 would keep 16 and 32 spare bytes whole; 212 can be split.
    EXPECT_EQ(header(heap, heap.allocate(84)), holes[2]);
    EXPECT_EQ(header(heap, heap.allocate(100)), holes[0]);
    // Nothing left to split: the tightest is taken whole.
    EXPECT_EQ(header(heap, heap.allocate(100)), holes[3]);
    EXPECT_EQ(block_at(heap, holes[3]).size, 116u);
}

// The rule of choice, by brute force over every free block: the size of the
// block that must be chosen for a request of n bytes, or 0.
uint32_t expected_choice(const Heap &heap, uint32_t n) {
    uint32_t splittable = 0;
    uint32_t whole = 0;
    for (const HeapBlock &block : heap.blocks()) {
        if (!block.free || block.size < n) {
            continue;
        }
        if (block.size == n) {
            return n;
        }
        uint32_t &best = block.size - n >= kBlockHeaderSize + 1 ? splittable : whole;
        best = best ? std::min(best, block.size) : block.size;
    }
    return splittable ? splittable : whole;
}

TEST_F(HeapTest, EveryChoiceOfARandomRunFollowsTheRule) {
    Heap heap(arena, 256 * 1024);
    std::mt19937 random(2024);
    std::vector<void *> live;
    for (int step = 0; step < 4000; ++step) {
        if (live.empty() || random() % 5 < 3) {
            // Mostly small sizes, some beyond the bins of one size each.
            uint32_t size = random() % 8 ? random() % 1200 : 8000 + random() % 20000;
            auto n = static_cast<uint32_t>(Heap::block_size_for(size));
            uint32_t chosen = expected_choice(heap, n);
            uint32_t regions = heap.statistics().regions;
            std::map<uint32_t, uint32_t> free_sizes;
            for (const HeapBlock &block : heap.blocks()) {
                free_sizes[block.offset] = block.free ? block.size : 0;
            }
            void *data = heap.allocate(size);
            ASSERT_NE(data, nullptr);
            if (heap.statistics().regions == regions) {
                ASSERT_EQ(free_sizes[header(heap, data)], chosen) << "request " << n;
            }
            live.push_back(data);
        } else if (random() % 2) {
            // Resizing grows into free neighbours, splits and moves blocks.
            size_t victim = random() % live.size();
            live[victim] = heap.resize(live[victim], random() % 1500);
            ASSERT_NE(live[victim], nullptr);
        } else {
            size_t victim = random() % live.size();
            ASSERT_TRUE(heap.release(live[victim]));
            live[victim] = live.back();
            live.pop_back();
        }
        ASSERT_EQ(heap.check(), HeapCheck::sound);
        ASSERT_EQ(counted_bytes(heap), block_bytes(heap));
    }
}

TEST_F(HeapTest, FreeingThreeNeighboursInAnyOrderLeavesOneBlock) {
    std::vector<int> order = {0, 1, 2};
    do {
        Heap heap(arena, 4096);
        heap.allocate(8);
        void *three[3] = {heap.allocate(36), heap.allocate(52), heap.allocate(84)};
        heap.allocate(8);
        uint32_t first = header(heap, three[0]);
        for (int i : order) {
            ASSERT_TRUE(heap.release(three[i]));
        }
        HeapBlock merged = block_at(heap, first);
        EXPECT_TRUE(merged.free);
        EXPECT_EQ(merged.size, 36u + 52 + 84 + 2 * kBlockHeaderSize);
        EXPECT_EQ(heap.check(), HeapCheck::sound);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(HeapTest, RunningOutAddsAMegabyteRegionOrOneThatFitsTheRequest) {
    static int growths = 0;
    Heap heap(arena, 1024, [] { ++growths; });
    ASSERT_NE(heap.allocate(2000), nullptr);
    EXPECT_EQ(growths, 1);
    EXPECT_EQ(counted_bytes(heap), 1024u + Heap::block_size_for(0x100000) + kBlockHeaderSize);

    void *large = heap.allocate(3 << 20);
    EXPECT_EQ(growths, 2);
    EXPECT_EQ(block_at(heap, header(heap, large)).size, Heap::block_size_for(3 << 20));

    EXPECT_EQ(heap.allocate(uint64_t{1} << 40), nullptr);
    EXPECT_EQ(heap.allocate(UINT32_MAX), nullptr);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, AlignedBlocksAreAlignedAndFreeCorrectly) {
    Heap heap(arena, 64 * 1024);
    heap.allocate(4);
    std::vector<void *> blocks;
    for (uint32_t size = 1; size < 200; size += 13) {
        blocks.push_back(heap.allocate(size, 63));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.back()) % 64, 0u);
    }
    // Growing in place keeps the bytes before the aligned data.
    EXPECT_EQ(heap.resize(blocks.back(), 300, 63), blocks.back());
    memset(blocks.back(), 0xAB, 300);
    for (void *block : blocks) {
        heap.release(block);
    }
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, ResizeGrowsIntoAFreeNeighbourShrinksInPlaceOrMoves) {
    Heap heap(arena, 4096);
    auto *data = static_cast<char *>(heap.allocate(100));
    void *neighbour = heap.allocate(212);
    heap.allocate(8);
    strcpy(data, "the ball drops into the hole");
    heap.release(neighbour);

    // 100 + 44 + 212 = 356 bytes; 260 used, the 96 over split off again.
    EXPECT_EQ(heap.resize(data, 260), data);
    EXPECT_EQ(block_at(heap, header(heap, data) + kBlockHeaderSize + 260).size, 52u);
    EXPECT_EQ(heap.resize(data, 228), data); // 32 spare: kept
    EXPECT_EQ(block_at(heap, header(heap, data)).size, 260u);

    auto *moved = static_cast<char *>(heap.resize(data, 1000));
    EXPECT_NE(moved, data);
    EXPECT_STREQ(moved, "the ball drops into the hole");
    EXPECT_FALSE(heap.is_block(data));
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, LeadAndUserWordsBelongToTheHolder) {
    Heap heap(arena, 4096);
    uint32_t block = 0;
    auto *data = static_cast<char *>(heap.allocate(40, 0, 16, &block));
    EXPECT_EQ(heap.offset_of(data), block + kBlockHeaderSize + 16);
    EXPECT_EQ(heap.user_word(block, 0), 0u);
    heap.set_user_word(block, 1, 5678);
    EXPECT_EQ(heap.user_word(block, 1), 5678u);
    memcpy(data - 16, "holder's", 8);
    strcpy(data, "payload");

    heap.allocate(8); // no room to grow in place
    auto *moved = static_cast<char *>(heap.resize(data, 500, 0, 16, &block));
    ASSERT_NE(moved, data);
    EXPECT_EQ(memcmp(moved - 16, "holder's", 8), 0);
    EXPECT_STREQ(moved, "payload");
    EXPECT_TRUE(heap.is_block(moved)); // the way back to the header survived the copy
}

TEST_F(HeapTest, ForeignRepeatedAndDamagedFreesAreRefused) {
    Heap heap(arena, 4096);
    auto *first = static_cast<char *>(heap.allocate(32));
    void *second = heap.allocate(32);
    void *third = heap.allocate(32);
    heap.allocate(32);
    EXPECT_TRUE(heap.release(third));
    EXPECT_FALSE(heap.release(third));
    int local = 0;
    std::vector<char> system(64);
    uint64_t in_use = heap.statistics().in_use;

    EXPECT_FALSE(heap.release(&local));
    EXPECT_FALSE(heap.release(system.data()));
    EXPECT_FALSE(heap.release(first + 16));
    EXPECT_FALSE(heap.release(first + 1));
    EXPECT_FALSE(heap.release(arena.base() + arena.size() - 16)); // reserved, never committed

    auto *size = reinterpret_cast<uint32_t *>(first - kBlockHeaderSize + 4);
    uint32_t true_size = *size;
    *size = 4000;
    EXPECT_FALSE(heap.release(first));
    EXPECT_EQ(heap.check(), HeapCheck::damaged_block);
    *size = true_size;

    memset(first, 0x55, 36 + 8); // an overrun into the next header
    EXPECT_FALSE(heap.release(second));
    EXPECT_FALSE(heap.release(first)); // its neighbour is not sound: nothing is merged
    EXPECT_EQ(heap.statistics().in_use, in_use);
}

// A block in use notes whether the one before it is free, so that a free
// can merge backwards without reading that header: a wrong note is damage.
TEST_F(HeapTest, ABlockInUseKnowsWhetherTheOneBeforeItIsFree) {
    Heap heap(arena, 4096);
    void *before = heap.allocate(32);
    auto *data = static_cast<char *>(heap.allocate(32));
    heap.allocate(32);
    auto *note = reinterpret_cast<uint32_t *>(data - 12);
    EXPECT_EQ(*note, 0u);
    heap.release(before);
    EXPECT_EQ(*note, xv::kPreviousFree);
    before = heap.allocate(32); // the same hole, taken whole again
    EXPECT_EQ(*note, 0u);

    *note = xv::kPreviousFree; // but the block before is in use
    EXPECT_EQ(heap.check(), HeapCheck::damaged_block);
    EXPECT_FALSE(heap.release(data));
    *note = 7;
    EXPECT_FALSE(heap.release(data));
    *note = 0;
    EXPECT_EQ(heap.check(), HeapCheck::sound);
    EXPECT_TRUE(heap.release(data));
    EXPECT_TRUE(heap.release(before)); // merges with the block that followed it
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, CheckFindsAFreeListThatLoops) {
    Heap heap(arena, 4096);
    void *data = heap.allocate(32);
    heap.allocate(32);
    heap.release(data);
    auto *next_free = reinterpret_cast<uint32_t *>(static_cast<char *>(data) - 12);
    *next_free = heap.offset_of(data) - kBlockHeaderSize; // onto itself
    EXPECT_EQ(heap.check(), HeapCheck::damaged_free_list);
}

} // namespace
