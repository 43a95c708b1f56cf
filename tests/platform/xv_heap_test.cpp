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

uint64_t region_bytes(const Heap &heap) {
    xv::HeapStatistics figures = heap.statistics();
    return figures.in_use + figures.free;
}

// What the blocks themselves add up to, headers included.
uint64_t block_bytes(const Heap &heap) {
    uint64_t total = 0;
    for (const HeapBlock &block : heap.blocks()) {
        total += kBlockHeaderSize + block.size;
    }
    return total;
}

HeapBlock block_at(const Heap &heap, uint32_t offset) {
    for (const HeapBlock &block : heap.blocks()) {
        if (block.offset == offset) {
            return block;
        }
    }
    return {0, 0, false};
}

uint32_t header(const Heap &heap, const void *data) {
    return heap.offset_of(data) - kBlockHeaderSize;
}

// Allocates the last free block whole, so that only the blocks a test makes are free.
void *use_up_tail(Heap &heap) {
    std::vector<HeapBlock> blocks = heap.blocks();
    return heap.allocate(blocks.back().size);
}

class HeapTest : public ::testing::Test {
  protected:
    xv::Arena arena;
};

TEST_F(HeapTest, StartsWithOneFreeBlockBehindTheRegionHeader) {
    Heap heap(arena, 1024);
    ASSERT_TRUE(heap.valid());
    std::vector<HeapBlock> blocks = heap.blocks();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_TRUE(blocks[0].free);
    EXPECT_EQ(blocks[0].size, 1024 - kBlockHeaderSize);
    EXPECT_EQ(heap.statistics().in_use, kBlockHeaderSize);
    EXPECT_EQ(heap.statistics().free, 1024 - kBlockHeaderSize);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, OneByteTakesFourBytesBehindA44ByteHeader) {
    Heap heap(arena, 1000);
    uint64_t before = heap.statistics().in_use;
    void *data = heap.allocate(1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(block_at(heap, header(heap, data)).size, 4u);
    EXPECT_EQ(heap.statistics().in_use - before, 4 + kBlockHeaderSize);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
}

TEST_F(HeapTest, DataStartsOnTheSixteenByteGrid) {
    Heap heap(arena, 4096);
    for (uint64_t size : {1, 4, 5, 20, 21, 100, 1000}) {
        void *data = heap.allocate(size);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u) << size;
        EXPECT_EQ(block_at(heap, header(heap, data)).size, Heap::block_size_for(size));
        EXPECT_GE(Heap::block_size_for(size), size);
        EXPECT_EQ(Heap::block_size_for(size) % 4, 0u);
    }
}

// The spare bytes of a block can become a block of their own only when they
// hold a header and more: up to 44 stay with the block (on the grid: 32),
// more are split off (on the grid: 48).
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
    EXPECT_TRUE(split.blocks()[1].free);
    EXPECT_EQ(split.blocks()[1].size, 4u);
}

TEST_F(HeapTest, FreeingThreeNeighboursInAnyOrderLeavesOneBlock) {
    std::vector<int> order = {0, 1, 2};
    do {
        Heap heap(arena, 4096);
        void *before = heap.allocate(8);
        void *three[3] = {heap.allocate(36), heap.allocate(52), heap.allocate(84)};
        void *after = heap.allocate(8);
        use_up_tail(heap);
        uint32_t first = header(heap, three[0]);
        for (int i : order) {
            ASSERT_TRUE(heap.release(three[i]));
        }
        HeapBlock merged = block_at(heap, first);
        EXPECT_TRUE(merged.free);
        EXPECT_EQ(merged.size, 36u + 52 + 84 + 2 * kBlockHeaderSize);
        EXPECT_EQ(heap.check(), HeapCheck::sound);
        EXPECT_EQ(region_bytes(heap), 4096u);
        heap.release(before);
        heap.release(after);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(HeapTest, FreeingEverythingLeavesOneFreeBlockPerRegion) {
    Heap heap(arena, 4096);
    std::vector<void *> blocks;
    for (int i = 0; i < 40; ++i) {
        blocks.push_back(heap.allocate(100 + i * 7)); // the last ones need a second region
    }
    EXPECT_EQ(heap.statistics().regions, 2u);
    std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
    for (void *block : blocks) {
        ASSERT_TRUE(heap.release(block));
    }
    EXPECT_EQ(heap.blocks().size(), 2u);
    EXPECT_EQ(heap.statistics().in_use, 2 * kBlockHeaderSize);
}

// Leaves free blocks of the given sizes, each between two blocks in use,
// and nothing else free.
std::vector<uint32_t> make_holes(Heap &heap, std::initializer_list<uint32_t> sizes) {
    std::vector<void *> holes;
    std::vector<uint32_t> offsets;
    heap.allocate(4);
    for (uint32_t size : sizes) {
        holes.push_back(heap.allocate(size));
        offsets.push_back(header(heap, holes.back()));
        heap.allocate(4);
    }
    use_up_tail(heap);
    for (void *hole : holes) {
        heap.release(hole);
    }
    return offsets;
}

TEST_F(HeapTest, ExactFitWinsOverEverythingElse) {
    Heap heap(arena, 4096);
    std::vector<uint32_t> holes = make_holes(heap, {100, 68, 212});
    EXPECT_EQ(header(heap, heap.allocate(68)), holes[1]);
}

TEST_F(HeapTest, SmallestSplittableBlockIsPreferredToATighterOne) {
    Heap heap(arena, 4096);
    std::vector<uint32_t> holes = make_holes(heap, {100, 68, 212});
    // 68 would keep 16 spare bytes whole; 100 can be split.
    EXPECT_EQ(header(heap, heap.allocate(52)), holes[0]);
    // 68 - 20 leaves 48: splittable, and the smallest such.
    EXPECT_EQ(header(heap, heap.allocate(20)), holes[1]);
}

TEST_F(HeapTest, TightestBlockIsTakenWholeWhenNoneCanBeSplit) {
    Heap heap(arena, 4096);
    std::vector<uint32_t> holes = make_holes(heap, {132, 116});
    void *data = heap.allocate(100);
    EXPECT_EQ(header(heap, data), holes[1]);
    EXPECT_EQ(block_at(heap, holes[1]).size, 116u);
}

TEST_F(HeapTest, LargeBlocksAreChosenByTheSameRules) {
    Heap heap(arena, 1 << 20);
    std::vector<uint32_t> holes = make_holes(heap, {9012, 5012, 5044, 70004});
    EXPECT_EQ(header(heap, heap.allocate(5044)), holes[2]);
    EXPECT_EQ(header(heap, heap.allocate(4004)), holes[1]);
    EXPECT_EQ(header(heap, heap.allocate(70000)), holes[3]); // taken whole
    EXPECT_EQ(header(heap, heap.allocate(8980)), holes[0]);  // nothing left to split
    EXPECT_EQ(heap.check(), HeapCheck::sound);
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
            // Mostly small sizes, some beyond the exact bins.
            uint32_t size = random() % 8 ? random() % 1200 : 8000 + random() % 20000;
            auto n = static_cast<uint32_t>(Heap::block_size_for(size));
            uint32_t chosen = expected_choice(heap, n);
            uint32_t regions = heap.statistics().regions;
            std::map<uint32_t, uint32_t> free_sizes;
            for (const HeapBlock &block : heap.blocks()) {
                if (block.free) {
                    free_sizes[block.offset] = block.size;
                }
            }
            void *data = heap.allocate(size);
            ASSERT_NE(data, nullptr);
            if (heap.statistics().regions == regions) {
                ASSERT_EQ(free_sizes[header(heap, data)], chosen) << "request " << n;
            }
            memset(data, step & 0xFF, size);
            live.push_back(data);
        } else {
            size_t victim = random() % live.size();
            ASSERT_TRUE(heap.release(live[victim]));
            live[victim] = live.back();
            live.pop_back();
        }
        ASSERT_EQ(heap.check(), HeapCheck::sound);
        ASSERT_EQ(region_bytes(heap), block_bytes(heap));
    }
}

TEST_F(HeapTest, AlignedBlocksAreAlignedAndFreeCorrectly) {
    Heap heap(arena, 64 * 1024);
    std::vector<void *> blocks;
    for (uint32_t size = 1; size < 200; size += 13) {
        void *data = heap.allocate(size, 15);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 16, 0u);
        EXPECT_TRUE(heap.is_block(data));
        blocks.push_back(data);
    }
    for (void *data : blocks) {
        EXPECT_TRUE(heap.release(data));
    }
    EXPECT_EQ(heap.blocks().size(), 1u);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, RunningOutAddsAMegabyteRegionOrOneThatFitsTheRequest) {
    int growths = 0;
    static int *counter = nullptr;
    counter = &growths;
    Heap heap(arena, 1024, [] { ++*counter; });
    ASSERT_NE(heap.allocate(2000), nullptr);
    EXPECT_EQ(growths, 1);
    EXPECT_EQ(heap.statistics().regions, 2u);
    EXPECT_EQ(region_bytes(heap), 1024u + Heap::block_size_for(0x100000) + kBlockHeaderSize);

    void *large = heap.allocate(3 << 20);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(growths, 2);
    // The region is the block.
    EXPECT_EQ(block_at(heap, header(heap, large)).size, Heap::block_size_for(3 << 20));
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, ImpossibleRequestsFailWithoutHarm) {
    Heap heap(arena, 4096);
    EXPECT_EQ(heap.allocate(uint64_t{1} << 40), nullptr);
    EXPECT_EQ(heap.allocate(UINT32_MAX), nullptr);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
    EXPECT_NE(heap.allocate(10), nullptr);
}

TEST_F(HeapTest, GrowingIntoAFreeNeighbourKeepsTheAddress) {
    Heap heap(arena, 4096);
    auto *data = static_cast<char *>(heap.allocate(100));
    void *neighbour = heap.allocate(200);
    heap.allocate(8);
    memset(data, 'x', 100);
    heap.release(neighbour);
    EXPECT_EQ(heap.resize(data, 260), data);
    EXPECT_EQ(std::count(data, data + 100, 'x'), 100);
    // 100 + 44 + 212 = 356 bytes; 260 used, 96 over: split off again.
    HeapBlock rest = block_at(heap, header(heap, data) + kBlockHeaderSize + 260);
    EXPECT_TRUE(rest.free);
    EXPECT_EQ(rest.size, 356u - 260 - kBlockHeaderSize);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, GrowingAgainstABlockInUseMovesTheData) {
    Heap heap(arena, 4096);
    auto *data = static_cast<char *>(heap.allocate(100));
    heap.allocate(8);
    memcpy(data, "the ball drops into the hole", 29);
    auto *moved = static_cast<char *>(heap.resize(data, 1000));
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved, data);
    EXPECT_STREQ(moved, "the ball drops into the hole");
    EXPECT_FALSE(heap.is_block(data));
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, ShrinkingSplitsOnlyWhatCanStandAsABlock) {
    Heap heap(arena, 4096);
    void *data = heap.allocate(212);
    heap.allocate(8);
    EXPECT_EQ(heap.resize(data, 180), data); // 32 spare: kept
    EXPECT_EQ(block_at(heap, header(heap, data)).size, 212u);
    EXPECT_EQ(heap.resize(data, 100), data); // 112 spare: split
    EXPECT_EQ(block_at(heap, header(heap, data)).size, 100u);
    HeapBlock rest = block_at(heap, header(heap, data) + kBlockHeaderSize + 100);
    EXPECT_TRUE(rest.free);
    EXPECT_EQ(rest.size, 112 - kBlockHeaderSize);
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, ResizingAnAlignedBlockKeepsEveryByteItWasGiven) {
    Heap heap(arena, 4096);
    heap.allocate(4); // so that the next data is not aligned by chance
    auto *data = static_cast<unsigned char *>(heap.allocate(64, 63));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(data) % 64, 0u);
    void *neighbour = heap.allocate(400);
    heap.allocate(8);
    heap.release(neighbour);
    ASSERT_EQ(heap.resize(data, 300), data);
    memset(data, 0xAB, 300); // must stay inside the block
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, ForeignAndRepeatedFreesAreRefused) {
    Heap heap(arena, 4096);
    void *data = heap.allocate(64);
    int local = 0;
    std::vector<char> system(64);
    std::vector<HeapBlock> before = heap.blocks();

    EXPECT_FALSE(heap.release(&local));
    EXPECT_FALSE(heap.release(system.data()));
    EXPECT_FALSE(heap.release(static_cast<char *>(data) + 8));
    EXPECT_FALSE(heap.release(static_cast<char *>(data) + 1));
    EXPECT_FALSE(heap.release(arena.base() + arena.size() - 16)); // reserved, never committed
    EXPECT_EQ(heap.blocks().size(), before.size());

    EXPECT_TRUE(heap.release(data));
    EXPECT_FALSE(heap.release(data));
    EXPECT_EQ(heap.check(), HeapCheck::sound);
}

TEST_F(HeapTest, DamagedHeadersAreRefusedAndFoundByTheCheck) {
    Heap heap(arena, 4096);
    auto *first = static_cast<char *>(heap.allocate(32));
    auto *second = static_cast<char *>(heap.allocate(32));
    heap.allocate(32);
    uint64_t in_use = heap.statistics().in_use;

    // An overrun of the first block runs into the second's header.
    memset(first, 0x55, 32 + 8);
    EXPECT_EQ(heap.check(), HeapCheck::damaged_block);
    EXPECT_FALSE(heap.release(second));
    EXPECT_FALSE(heap.release(first)); // its neighbour is not sound: nothing is merged
    EXPECT_EQ(heap.statistics().in_use, in_use);
}

TEST_F(HeapTest, DamagedSizeIsNotBelieved) {
    Heap heap(arena, 4096);
    void *data = heap.allocate(32);
    heap.allocate(32);
    auto *size = reinterpret_cast<uint32_t *>(static_cast<char *>(data) - kBlockHeaderSize + 4);
    uint32_t true_size = *size;
    *size = 4000;
    EXPECT_FALSE(heap.release(data));
    EXPECT_EQ(heap.check(), HeapCheck::damaged_block);
    *size = true_size;
    EXPECT_TRUE(heap.release(data));
}

TEST_F(HeapTest, DamagedFreeListIsFoundByTheCheck) {
    Heap heap(arena, 4096);
    void *data = heap.allocate(32);
    heap.allocate(32);
    heap.release(data);
    auto *next_free = reinterpret_cast<uint32_t *>(static_cast<char *>(data) - 12);
    *next_free = heap.offset_of(data) - kBlockHeaderSize; // a loop onto itself
    EXPECT_EQ(heap.check(), HeapCheck::damaged_free_list);
}

TEST_F(HeapTest, UserWordsBelongToTheHolderOfABlockInUse) {
    Heap heap(arena, 4096);
    uint32_t block = 0;
    void *data = heap.allocate(32, 0, 0, &block);
    EXPECT_EQ(heap.find(data), block);
    EXPECT_EQ(heap.user_word(block, 0), 0u);
    heap.set_user_word(block, 0, 1234);
    heap.set_user_word(block, 1, 5678);
    EXPECT_EQ(heap.user_word(block, 1), 5678u);
    heap.release(data);
    EXPECT_EQ(heap.find(data), 0u);
    void *again = heap.allocate(32, 0, 0, &block);
    EXPECT_EQ(again, data);
    EXPECT_EQ(heap.user_word(block, 0), 0u);
    EXPECT_EQ(heap.user_word(block, 1), 0u);
}

TEST_F(HeapTest, LeadComesBeforeTheDataAndMovesWithIt) {
    Heap heap(arena, 4096);
    uint32_t block = 0;
    auto *data = static_cast<char *>(heap.allocate(40, 0, 16, &block));
    EXPECT_EQ(heap.offset_of(data), block + kBlockHeaderSize + 16);
    char *lead = data - 16;
    memcpy(lead, "holder's record", 12);
    strcpy(data, "payload");
    heap.allocate(8); // no room to grow in place
    auto *moved = static_cast<char *>(heap.resize(data, 500, 0, 16, &block));
    ASSERT_NE(moved, data);
    EXPECT_EQ(heap.offset_of(moved), block + kBlockHeaderSize + 16);
    EXPECT_EQ(memcmp(moved - 16, "holder's record", 12), 0);
    EXPECT_STREQ(moved, "payload");
}

} // namespace
