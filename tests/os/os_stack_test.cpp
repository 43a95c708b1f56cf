// Call stacks of the running program, and the handler that reports a fault.
#include "os_stack.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

// The return address in the function that asks: a frame of its own.
__attribute__((noinline)) void *where_am_i() {
    void *frames[4] = {};
    int count = os_stack_capture(frames, 4);
    return count > 0 ? frames[0] : nullptr;
}

TEST(OsStack, TheStackIsCapturedFromTheCallerOutwards) {
    void *frames[64] = {};
    int count = os_stack_capture(frames, 64);
    EXPECT_GE(count, 3) << "this test, gtest's calls, main";
    EXPECT_LE(count, 64);
    EXPECT_EQ(os_stack_capture(frames, 2), 2) << "no more than asked for";
}

TEST(OsStack, AReturnAddressIsNamedByItsModuleAndOffset) {
    OS_FRAME frame;
    os_stack_describe(where_am_i(), &frame);
    EXPECT_EQ(std::string(frame.module).rfind("os_stack_test", 0), 0u) << frame.module;
    EXPECT_GT(frame.module_offset, 0u);
    EXPECT_LT(frame.module_offset, frame.address);
}

TEST(OsStack, AFunctionOfTheProgramIsNamedWhenItsSymbolsLoad) {
    ASSERT_TRUE(os_stack_load_symbols());
    OS_FRAME frame;
    os_stack_describe(where_am_i(), &frame);
    EXPECT_NE(std::string(frame.symbol).find("where_am_i"), std::string::npos) << frame.symbol;
    EXPECT_GT(frame.symbol_offset, 0u);
}

TEST(OsStack, AnAddressOutsideEveryModuleIsUnknown) {
    OS_FRAME frame;
    os_stack_describe(reinterpret_cast<void *>(uintptr_t{16}), &frame);
    EXPECT_STREQ(frame.module, "");
    EXPECT_STREQ(frame.symbol, "");
}

// ---- faults ------------------------------------------------------------------

void report_to_stderr(int signal) {
    void *frames[16];
    int count = os_stack_capture(frames, 16);
    fprintf(stderr, "fault %d in progress %d with %d frames\n", signal,
            os_fault_in_progress() ? 1 : 0, count);
    fflush(stderr);
}

#if defined(_WIN32)
const auto killed_by_access_violation =
    ::testing::ExitedWithCode(static_cast<int>(EXCEPTION_ACCESS_VIOLATION));
#else
const auto killed_by_access_violation = ::testing::KilledBySignal(SIGSEGV);
#endif

// The pointer is read back from memory: a compiler that saw where it
// points could drop the store, or the whole call, as undefined. Not null:
// the undefined-behaviour checker would stop a null store first.
__attribute__((noinline)) void write_nowhere() {
    volatile int *volatile nowhere = reinterpret_cast<int *>(16);
    *nowhere = 1;
}

TEST(OsStackDeathTest, AnAccessViolationRunsTheHandlerThenEndsTheProcess) {
    EXPECT_EXIT(
        {
            os_fault_handlers_install(report_to_stderr);
            write_nowhere();
        },
        killed_by_access_violation, "fault 11 in progress 1 with");
}

TEST(OsStackDeathTest, NoFaultIsInProgressBeforeOne) {
    os_fault_handlers_install(report_to_stderr);
    EXPECT_FALSE(os_fault_in_progress());
}

} // namespace
