// The game as a player starts it: the real executable, headless.
#include "test_support.h"

#include <cstdlib>
#include <sys/wait.h>

namespace {

using PinwheelTest = test::TempDirTest;

TEST_F(PinwheelTest, StartsAndStopsCleanly) {
    int status = std::system(PINWHEEL_EXE);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nothing to warn about: no leak, no damaged heap, no failed start.
    EXPECT_EQ(warnings(), "");
}

} // namespace
