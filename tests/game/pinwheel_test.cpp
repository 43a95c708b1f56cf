// The game as a player starts it: the real executable, headless, stopped
// as the system stops a program.
#include "respack.h"
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

using test::read_file;
using test::write_file;

class PinwheelTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file("data/texts.txt", "[Application]\r\nTitle=Pinwheel Golf\r\nClass=PinwheelTest" +
                                         std::to_string(getpid()) +
                                         "\r\n"
                                         "INIFile=pinwheel.ini\r\nStartSplash=Splash\r\n"
                                         "LNGFile=data\\language.txt\r\n");
        // The game reads its archive first: the same data, packed.
        std::string error;
        ASSERT_TRUE(respack_write(respack_entries("."), "RESOURCE.DAT", 1, &error)) << error;
    }
    pid_t start() {
        pid_t pid = 0;
        char *arguments[] = {const_cast<char *>(PINWHEEL_EXE), nullptr};
        EXPECT_EQ(posix_spawn(&pid, PINWHEEL_EXE, nullptr, nullptr, arguments, environ), 0);
        return pid;
    }
    // Waits until the file holds the text, for at most a minute.
    static bool wait_for(const std::string &file, const std::string &text) {
        auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (read_file(file).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
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
