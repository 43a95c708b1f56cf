// The game as a player starts it: the real executable, headless, stopped
// as the system stops a program.
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using test::read_file;
using test::write_file;

class PinwheelTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ASSERT_TRUE(test::write_game_data("PinwheelTest"));
    }
    pid_t start() { return test::spawn({PINWHEEL_EXE}, {}); }
    // Waits until the file holds the text.
    static bool wait_for(const std::string &file, const std::string &text) {
        return test::eventually([&] { return read_file(file).find(text) != std::string::npos; });
    }
    static int stop(pid_t pid) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
};

TEST_F(PinwheelTest, OpensItsWindowRunsAndStopsInOrderWhenTheSystemAsks) {
    pid_t pid = start();
    ASSERT_TRUE(wait_for("history.txt", "gl info:")) << "OpenGL started on the window";
    ASSERT_TRUE(wait_for("history.txt", "extensions:"));
    int status = stop(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Nothing to warn about: no leak, no damaged heap, no failed start.
    EXPECT_EQ(warnings(), "");
    std::string settings = read_file("pinwheel.ini");
    EXPECT_NE(settings.find("[Display]"), std::string::npos) << "the window as it was left";
    EXPECT_NE(settings.find("WindowPosition="), std::string::npos);
    EXPECT_NE(settings.find("NumberAlloc=0"), std::string::npos) << "every block given back";
}

} // namespace
