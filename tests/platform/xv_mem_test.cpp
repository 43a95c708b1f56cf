#include "test_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using test::count_occurrences;

struct Statistic {
    std::string section;
    std::string key;
    int value;
};
std::vector<Statistic> written;

void record_statistic(const char *section, const XV_MEM_STATISTIC *lines, int count) {
    for (int i = 0; i < count; ++i) {
        written.push_back({section, lines[i].key, lines[i].value});
    }
}

class MemTest : public test::PlatformTest {
  protected:
    void SetUp() override {
        written.clear();
        xv_mem_set_statistics_writer(record_statistic);
        PlatformTest::SetUp();
    }
    void TearDown() override {
        PlatformTest::TearDown();
        xv_mem_set_statistics_writer(nullptr);
    }
};

TEST_F(MemTest, OneByteBlockCostsThirteenTrackedBytes) {
    long before = xv_mem_used();
    void *block = xv_mem_malloc(1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(xv_mem_used() - before, 13);
    EXPECT_EQ(xv_mem_statistics().number_alloc, 2); // and the name buffer
    EXPECT_EQ(xv_mem_free(block), 0);
    EXPECT_EQ(xv_mem_used(), before);
    EXPECT_EQ(xv_mem_max_used(), before + 13);
}

TEST_F(MemTest, NamesKeepTheirHistoryAndCountInTheTrackedBytes) {
    void *block = xv_mem_malloc(8);
    long unnamed = xv_mem_used();
    EXPECT_EQ(xv_mem_get_name(block), nullptr);
    ASSERT_TRUE(xv_mem_set_name(block, "a"));
    ASSERT_TRUE(xv_mem_set_name(block, "b"));
    ASSERT_TRUE(xv_mem_set_name(block, "c"));
    std::string name = "c (Previously known as b (Previously known as a))";
    EXPECT_EQ(xv_mem_get_name(block), name);
    EXPECT_EQ(xv_mem_used() - unnamed, static_cast<long>(name.size() + 1));
    xv_mem_free(block);
    EXPECT_EQ(xv_mem_used(), unnamed - 8 - 12);
}

TEST_F(MemTest, PlaceFormsNameTheBlockAndMarkLaterReports) {
    void *block = xv_mem_malloc_at("game.cpp", 42, 16);
    EXPECT_STREQ(xv_mem_get_name(block), " (Allocated or Named in file: game.cpp, on line: 42)");
    xv_mem_set_name_at("game.cpp", 50, block, "ball");
    EXPECT_STREQ(xv_mem_get_name(block),
                 "ball (Allocated or Named in file: game.cpp, on line: 50) (Previously known as  "
                 "(Allocated or Named in file: game.cpp, on line: 42))");

    xv_mem_free(nullptr);
    EXPECT_NE(warnings().find("In module Memory \n\n Tried to free a NULL pointer!\n\n\n\n"
                              "(File: game.cpp, Line: 50)"),
              std::string::npos);

    // Realloc names only a block that has no name yet.
    block = xv_mem_realloc_at("b.cpp", 2, block, 4000);
    EXPECT_EQ(std::string(xv_mem_get_name(block)).rfind("ball", 0), 0u);
    void *unnamed = xv_mem_realloc_at("c.cpp", 3, xv_mem_malloc(16), 32);
    EXPECT_STREQ(xv_mem_get_name(unnamed), " (Allocated or Named in file: c.cpp, on line: 3)");
    xv_mem_free(block);
    xv_mem_free(unnamed);
}

TEST_F(MemTest, ShutdownNamesEveryLeakWritesTheStatisticsAndFails) {
    void *leak = xv_mem_malloc_at("level.cpp", 7, 100);
    std::string name = xv_mem_get_name(leak);
    long expected_left = 100 + 12 + static_cast<long>(name.size() + 1);

    EXPECT_EQ(stop_tracker(), 0);
    std::string log = warnings();
    EXPECT_NE(log.find("Memory Info: Pointer not freed before exit! Name: '" + name +
                       "' Size: '100'\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("Alert: Memory not all freed: " + std::to_string(expected_left) +
                       " bytes left\r\n"),
              std::string::npos);

    std::vector<std::string> keys;
    for (const Statistic &statistic : written) {
        EXPECT_EQ(statistic.section, "System");
        keys.push_back(statistic.key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"TotalRAM", "FreeRAM", "UsedRAM", "MaxNumberAlloc",
                                              "NumberAlloc", "TotalSizeHeap", "MaxUsedHeap",
                                              "UsedHeap"}));
    EXPECT_EQ(written[4].value, 1); // the leak
    EXPECT_GT(written[0].value, 0);
}

TEST_F(MemTest, CleanShutdownSucceedsQuietly) {
    xv_mem_free(xv_mem_malloc(64));
    EXPECT_EQ(stop_tracker(), 1);
    EXPECT_EQ(warnings().find("Memory Info"), std::string::npos);
    EXPECT_EQ(written[4].value, 0); // NumberAlloc
    EXPECT_EQ(written[7].value, 0); // UsedHeap: nothing but the regions' first headers
}

TEST_F(MemTest, ForeignAndDoubleFreesAreReportedAndChangeNothing) {
    void *block = xv_mem_malloc(32);
    xv_mem_free(block);
    long used = xv_mem_used();
    int64_t elements = xv_mem_statistics().number_alloc;
    int local = 0;

    EXPECT_EQ(xv_mem_free(block), 0);
    EXPECT_EQ(xv_mem_free(&local), 0);
    std::string log = warnings();
    EXPECT_EQ(count_occurrences(log, "HEAP Error: Not a valid memory block"), 2);
    EXPECT_EQ(count_occurrences(log, "Alert: Warning, did not add with xv_malloc()"), 2);
    EXPECT_EQ(xv_mem_used(), used);
    EXPECT_EQ(xv_mem_statistics().number_alloc, elements);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

TEST_F(MemTest, AnOverrunIsCaughtAtTheNextFreeAndByTheHeapCheck) {
    auto *first = static_cast<char *>(xv_mem_malloc(32));
    void *second = xv_mem_malloc(32);
    long used = xv_mem_used();
    memset(first, 0, 32 + 48); // past its end, through the next header

    EXPECT_EQ(xv_mem_heap_check(), 0);
    EXPECT_NE(warnings().find("xv_mem_heap_check error: "), std::string::npos);
    xv_mem_free(second);
    EXPECT_NE(warnings().find("HEAP Error: Not a valid memory block"), std::string::npos);
    EXPECT_EQ(xv_mem_used(), used);
}

TEST_F(MemTest, ReallocKeepsTheDataAndTheAccountingOfItsOwnBlocksOnly) {
    auto *block = static_cast<char *>(xv_mem_realloc(nullptr, 10));
    ASSERT_NE(block, nullptr);
    strcpy(block, "pinwheel");
    long used = xv_mem_used();
    block = static_cast<char *>(xv_mem_realloc(block, 5000));
    EXPECT_STREQ(block, "pinwheel");
    EXPECT_EQ(xv_mem_used() - used, 5000 - 10);
    block = static_cast<char *>(xv_mem_realloc(block, 4));
    EXPECT_EQ(memcmp(block, "pinw", 4), 0);
    EXPECT_EQ(xv_mem_used() - used, 4 - 10);
    xv_mem_free(block);

    char local[16] = "mine";
    void *fresh = xv_mem_realloc(local, 16); // not ours: a new block, the old one left alone
    EXPECT_NE(fresh, local);
    EXPECT_STREQ(local, "mine");
    EXPECT_NE(warnings().find("wasn't allocated by the xv_mem module!"), std::string::npos);
    xv_mem_free(fresh);
}

TEST_F(MemTest, CallocZeroesAndImpossibleSizesAreReported) {
    auto *block = static_cast<unsigned char *>(xv_mem_calloc(10, 7));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 70; ++i) {
        ASSERT_EQ(block[i], 0);
    }
    xv_mem_free(block);
    EXPECT_EQ(xv_mem_calloc(SIZE_MAX / 2, 4), nullptr);
    EXPECT_NE(warnings().find("calloc failed!"), std::string::npos);

    EXPECT_EQ(xv_mem_malloc(size_t{1} << 40), nullptr);
    EXPECT_NE(warnings().find("malloc() failed!\n\nHeap Size = "), std::string::npos);
    EXPECT_NE(warnings().find("Buffer Size = 1099511627776"), std::string::npos);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

TEST_F(MemTest, RunningOutOfHeapAddsARegionWithAReport) {
    void *big = xv_mem_malloc(6 << 20); // more than the first 5 MiB region
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(count_occurrences(warnings(), "Not enough heap. Allocating another buffer"), 1);
    xv_mem_free(big);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

TEST_F(MemTest, AlignmentStackAlignsUntilPoppedAndRefusesTooManyPops) {
    xv_mem_align_push(16);
    std::vector<void *> blocks;
    for (size_t size = 1; size < 100; size += 9) {
        blocks.push_back(xv_mem_malloc(size));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.back()) % 16, 0u);
    }
    xv_mem_align_pop();
    for (void *block : blocks) {
        xv_mem_free(block);
    }
    EXPECT_EQ(xv_mem_heap_check(), 2);
    EXPECT_EQ(warnings(), "");

    xv_mem_align_pop();
    EXPECT_NE(warnings().find("Too many xv_mem_align_pop!"), std::string::npos);
    xv_mem_align_push(24);
    EXPECT_NE(warnings().find("alignment 24 is not a power of two"), std::string::npos);
}

TEST_F(MemTest, NamingWhatIsNotTrackedIsReported) {
    int local = 0;
    EXPECT_EQ(xv_mem_set_name(nullptr, "x"), 0);
    EXPECT_NE(warnings().find("Tried to name a NULL Pointer"), std::string::npos);
    EXPECT_EQ(xv_mem_set_name(&local, "camera"), 0);
    EXPECT_NE(warnings().find("wasn't allocated with xv_mem_malloc\n\nName: camera"),
              std::string::npos);
}

TEST_F(MemTest, InternalBlocksCountWithoutAnElement) {
    long used = xv_mem_used();
    int64_t elements = xv_mem_statistics().number_alloc;
    void *node = xv_mem_internal_malloc(24);
    EXPECT_EQ(xv_mem_used() - used, 24);
    EXPECT_EQ(xv_mem_statistics().number_alloc, elements);
    xv_mem_internal_free(node, 24);
    EXPECT_EQ(xv_mem_used(), used);
}

TEST_F(MemTest, NameDumpListsEveryBlock) {
    void *block = xv_mem_malloc(40);
    xv_mem_set_name(block, "course");
    ASSERT_EQ(xv_mem_name_dump("names.txt"), 1);
    std::string dump = test::read_text_file("names.txt");
    EXPECT_EQ(dump.rfind("\n\n*** xv_mem_name_dump() begin ***\n\n", 0), 0u);
    EXPECT_NE(dump.find("Size =        256, Name = xv_mem_name_buffer\n"), std::string::npos);
    EXPECT_NE(dump.find("Size =         40, Name = course\n"), std::string::npos);
    EXPECT_NE(dump.find("\nTotal RAM allocated: 296\n\n\n*** xv_mem_name_dump() end ***\n\n"),
              std::string::npos);
    xv_mem_free(block);

    EXPECT_EQ(xv_mem_name_dump("no-such-directory/names.txt"), 0);
    EXPECT_NE(warnings().find("Error opening no-such-directory/names.txt in xv_mem_name_dump"),
              std::string::npos);
}

TEST_F(MemTest, OutsideItsLifeTheTrackerPassesThroughToTheSystem) {
    void *leftover = xv_mem_malloc(16);
    stop_tracker();
    EXPECT_EQ(xv_mem_heap_check(), 1);
    void *plain = xv_mem_malloc(32);
    ASSERT_NE(plain, nullptr);
    plain = xv_mem_realloc(plain, 64);
    EXPECT_EQ(xv_mem_free(plain), 0);
    // A block of the stopped heap went with it; freeing it now is harmless.
    EXPECT_EQ(xv_mem_free(leftover), 0);
}

// A block freed is kept back for the next request of its size, and to
// everyone else it is as free as a block given back to the heap: it counts
// as free, a second free, a name or a realloc of it is reported and changes
// nothing, and a calloc that reuses it still zeroes it.
TEST_F(MemTest, AFreedBlockServesTheNextRequestOfItsSizeAndIsFreeToEveryoneElse) {
    XV_MEM_STATISTICS before = xv_mem_statistics();
    long used = xv_mem_used();
    auto *block = static_cast<unsigned char *>(xv_mem_malloc(100));
    ASSERT_TRUE(xv_mem_set_name(block, "ball"));
    memset(block, 0xAB, 100);
    EXPECT_EQ(xv_mem_free(block), 0);
    XV_MEM_STATISTICS after = xv_mem_statistics();
    EXPECT_EQ(xv_mem_used(), used);
    EXPECT_EQ(after.number_alloc, before.number_alloc);
    // Its bytes are free again; only its header, not merged, is still used.
    EXPECT_EQ(after.used_heap + after.total_size_heap, before.used_heap + before.total_size_heap);
    EXPECT_LE(after.used_heap - before.used_heap, 44);
    EXPECT_GT(after.max_used_heap, before.used_heap + 100);

    EXPECT_EQ(xv_mem_free(block), 0);
    EXPECT_EQ(count_occurrences(warnings(), "HEAP Error: Not a valid memory block"), 1);
    EXPECT_EQ(count_occurrences(warnings(), "Alert: Warning, did not add with xv_malloc()"), 1);
    EXPECT_EQ(xv_mem_set_name(block, "again"), 0);
    EXPECT_EQ(xv_mem_get_name(block), nullptr);
    void *other = xv_mem_realloc(block, 100); // a new block: it may be that one again
    ASSERT_NE(other, nullptr);
    EXPECT_NE(warnings().find("wasn't allocated by the xv_mem module!"), std::string::npos);
    xv_mem_free(other);
    EXPECT_EQ(xv_mem_used(), used);
    EXPECT_EQ(xv_mem_statistics().number_alloc, before.number_alloc);

    auto *zeroed = static_cast<unsigned char *>(xv_mem_calloc(25, 4));
    EXPECT_EQ(zeroed, block) << "the same size, handed back";
    EXPECT_EQ(xv_mem_get_name(zeroed), nullptr);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(zeroed[i], 0);
    }
    xv_mem_free(zeroed);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

class SmallHeapMemTest : public MemTest {
  protected:
    SmallHeapMemTest() { mem_config.heap_size = 64 * 1024; }
};

// Blocks kept back go to the heap before it grows: freed in the middle of
// a region first, they would otherwise leave no room for a large block.
TEST_F(SmallHeapMemTest, KeptBlocksGoBackBeforeTheHeapGrows) {
    std::vector<void *> blocks;
    while (xv_mem_statistics().total_size_heap > 2000) {
        blocks.push_back(xv_mem_malloc(500));
    }
    ASSERT_EQ(count_occurrences(warnings(), "Not enough heap"), 0);
    for (size_t i = blocks.size() / 2; i < blocks.size(); ++i) {
        xv_mem_free(blocks[i]);
    }
    for (size_t i = 0; i < blocks.size() / 2; ++i) {
        xv_mem_free(blocks[i]);
    }
    void *large = xv_mem_malloc(60 * 1024);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(count_occurrences(warnings(), "Not enough heap"), 0);
    xv_mem_free(large);
    EXPECT_EQ(xv_mem_heap_check(), 2);
}

class QuietMemTest : public test::TempDirTest {};

TEST_F(QuietMemTest, WithoutReportsTheTrackerStaysSilentAndNamesNothing) {
    XV_MEM_CONFIG quiet{0, 64 * 1024};
    ASSERT_EQ(xv_mem_init(&quiet), 1);
    void *block = xv_mem_malloc_at("quiet.cpp", 1, 10);
    EXPECT_EQ(xv_mem_get_name(block), nullptr);
    xv_mem_free(nullptr);
    EXPECT_EQ(xv_mem_deinit(), 0); // the block is still there
    EXPECT_FALSE(test::file_exists("Warning.txt"));
}

} // namespace
