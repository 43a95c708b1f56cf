// The game as a player starts it: the real executable, headless, stopped
// as the system stops a program.
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
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

// ---- where the settings are kept -------------------------------------------

// A game folder with no settings in it is the game's, not the player's:
// the settings go to the user's settings folder, the logs stay.
TEST_F(PinwheelTest, WithoutSettingsBesideItTheGameKeepsThemInTheUsersFolder) {
    std::filesystem::remove("pinwheel.ini");
    const std::string config = directory() + "/config";
    pid_t pid = test::spawn({PINWHEEL_EXE}, {"XDG_CONFIG_HOME=" + config});
    ASSERT_TRUE(wait_for("history.txt", "gl info:"));
    int status = stop(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(test::file_exists("pinwheel.ini"));
    EXPECT_NE(read_file(config + "/pinwheel/pinwheel.ini").find("WindowPosition="),
              std::string::npos);
}

// ---- an installed game --------------------------------------------------------

// The program in PREFIX/games, its data in PREFIX/share/games/pinwheel, as
// make install lays them out, started from another folder.
class InstalledGameTest : public PinwheelTest {
  protected:
    void SetUp() override {
        PinwheelTest::SetUp();
        namespace fs = std::filesystem;
        std::filesystem::remove("pinwheel.ini");
        const std::string data = "prefix/share/games/pinwheel";
        fs::create_directories(data);
        fs::create_directories("prefix/games");
        fs::create_directories("elsewhere");
        for (const auto &entry : fs::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            if (name != "prefix" && name != "elsewhere") {
                fs::rename(entry.path(), data + "/" + name);
            }
        }
        fs::copy_file(PINWHEEL_EXE, "prefix/games/pinwheel");
    }
    pid_t start_elsewhere(const std::vector<std::string> &arguments) {
        std::filesystem::current_path("elsewhere");
        pid_t pid = test::spawn(arguments, {"XDG_CONFIG_HOME=" + directory() + "/config"});
        std::filesystem::current_path(directory());
        return pid;
    }
};

TEST_F(InstalledGameTest, StartedFromAnotherFolderItFindsItsDataAndKeepsItsSettings) {
    pid_t pid = start_elsewhere({directory() + "/prefix/games/pinwheel"});
    const std::string data = directory() + "/prefix/share/games/pinwheel/";
    ASSERT_TRUE(wait_for(data + "history.txt", "gl info:"));
    int status = stop(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(data + "Warning.txt"), "");
    EXPECT_NE(read_file(directory() + "/config/pinwheel/pinwheel.ini").find("WindowPosition="),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty("elsewhere")) << "nothing written where it started";
}

// What a player types to learn about the program, answered without a window.
TEST_F(InstalledGameTest, HelpAndVersionAreAnsweredOnStandardOutput) {
    for (const char *question : {"--help", "--version"}) {
        const std::string command = directory() + "/prefix/games/pinwheel " + question + " > " +
                                    directory() + "/answer.txt";
        EXPECT_EQ(std::system(command.c_str()), 0) << question;
        const std::string answer = read_file(directory() + "/answer.txt");
        EXPECT_NE(
            answer.find(std::string(question) == "--help" ? "Usage: pinwheel" : "Pinwheel Golf "),
            std::string::npos)
            << answer;
    }
}

// ---- a game folder that cannot be written ---------------------------------

// The game folder made read-only, with the game in it. Root writes
// anywhere, so a test run as root runs the game as nobody, for whom it is
// (and who may not reach the build's own copy of it).
class ReadOnlyFolderTest : public PinwheelTest {
  protected:
    void SetUp() override {
        PinwheelTest::SetUp();
        std::filesystem::copy_file(PINWHEEL_EXE, "pinwheel");
        write_file("pinwheel.ini", "[Scores]\r\nHole1=3\r\nHole1Name=Ann\r\n");
        std::filesystem::create_directory("writable");
        chmod("writable", 0777);
        chmod(".", 0555);
    }
    void TearDown() override {
        chmod(directory().c_str(), 0700);
        PinwheelTest::TearDown();
    }
    // Starts the game with its data folder ($XDG_DATA_HOME) there and its
    // settings folder ($XDG_CONFIG_HOME) in it, its standard error into
    // writable/console.txt.
    pid_t start_with_data_home(const std::string &data_home) {
        pid_t pid = fork();
        if (pid == 0) {
            int console = open("writable/console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0666);
            dup2(console, STDERR_FILENO);
            if (geteuid() == 0 &&
                (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(126);
            }
            setenv("XDG_DATA_HOME", data_home.c_str(), 1);
            setenv("XDG_CONFIG_HOME", (data_home + "/config").c_str(), 1);
            setenv("HOME", data_home.c_str(), 1);
            execl("./pinwheel", "./pinwheel", nullptr);
            _exit(127);
        }
        return pid;
    }
    std::string console() const { return read_file("writable/console.txt"); }
};

// The logs go to the user's data folder, the settings to the user's
// settings folder; the settings and best scores kept beside the game come
// along the first time.
TEST_F(ReadOnlyFolderTest, TheGameSaysWhereItWritesAndRunsFromTheUsersFolder) {
    const std::string own = directory() + "/writable/pinwheel/";
    const std::string settings_folder = directory() + "/writable/config/pinwheel/";
    pid_t pid = start_with_data_home(directory() + "/writable");
    ASSERT_TRUE(wait_for(own + "history.txt", "gl info:")) << console();
    int status = stop(pid);
    ASSERT_TRUE(WIFEXITED(status)) << console();
    EXPECT_EQ(WEXITSTATUS(status), 0) << console();
    EXPECT_EQ(test::count_occurrences(console(), "the logs and snapshots go to " + own + "\n"), 1)
        << console();
    EXPECT_EQ(read_file(own + "Warning.txt"), "");
    EXPECT_FALSE(test::file_exists(own + "pinwheel.ini"));
    const std::string settings = read_file(settings_folder + "pinwheel.ini");
    EXPECT_NE(settings.find("WindowPosition="), std::string::npos);
    EXPECT_NE(settings.find("Hole1=3\r\nHole1Name=Ann\r\n"), std::string::npos)
        << "the best scores kept beside the game came along";
    EXPECT_FALSE(test::file_exists("history.txt"));
}

TEST_F(ReadOnlyFolderTest, WithNowhereToWriteTheGameSaysSoAndStops) {
    pid_t pid = start_with_data_home(directory() + "/nowhere");
    int status = 0;
    ASSERT_TRUE(test::eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }))
        << console();
    const std::string said = console();
    EXPECT_NE(said.find("pinwheel: cannot write in " + directory() + "/ nor in the user's folder"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("history.txt"), std::string::npos) << "what stopped it: " << said;
}

} // namespace
