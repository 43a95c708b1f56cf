// Address space reserved, backed and given back, as the memory tracker's heap uses it.
#include "os_memory.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(OsMemory, ACommittedRangeIsZeroedAndWritable) {
    const size_t page = os_memory_page_size();
    ASSERT_GE(page, 4096u);
    const size_t size = 64 * page;
    auto *base = static_cast<unsigned char *>(os_memory_reserve(size));
    ASSERT_NE(base, nullptr);
    ASSERT_TRUE(os_memory_commit(base + page, 2 * page));
    for (size_t i = 0; i < 2 * page; ++i) {
        ASSERT_EQ(base[page + i], 0) << i;
    }
    memset(base + page, 0xAB, 2 * page);
    EXPECT_EQ(base[page * 3 - 1], 0xAB);
    os_memory_release(base, size);
}

// The heap gives pages back and takes them again: they come back zeroed.
TEST(OsMemory, ARangeDecommittedAndCommittedAgainIsZeroed) {
    const size_t page = os_memory_page_size();
    auto *base = static_cast<unsigned char *>(os_memory_reserve(8 * page));
    ASSERT_NE(base, nullptr);
    ASSERT_TRUE(os_memory_commit(base, 8 * page));
    memset(base, 0x5A, 8 * page);
    os_memory_decommit(base + 2 * page, 3 * page);
    ASSERT_TRUE(os_memory_commit(base + 2 * page, 3 * page));
    EXPECT_EQ(base[2 * page], 0);
    EXPECT_EQ(base[5 * page - 1], 0);
    EXPECT_EQ(base[2 * page - 1], 0x5A) << "the pages around kept what they held";
    EXPECT_EQ(base[5 * page], 0x5A);
    os_memory_release(base, 8 * page);
}

TEST(OsMemory, AReservationLargerThanTheMemoryIsOnlyAddressSpace) {
    uint64_t total = 0, available = 0;
    os_memory_physical(&total, &available);
    const size_t size = size_t{1} << 36; // 64 GiB
    void *base = os_memory_reserve(size);
    ASSERT_NE(base, nullptr);
    os_memory_release(base, size);
}

TEST(OsMemory, ThePhysicalMemoryIsKnown) {
    uint64_t total = 0, available = 0;
    os_memory_physical(&total, &available);
    EXPECT_GT(total, uint64_t{64} << 20);
    EXPECT_GT(available, 0u);
    EXPECT_LE(available, total);
}

} // namespace
