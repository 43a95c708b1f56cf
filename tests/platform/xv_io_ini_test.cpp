#include "respack.h"
#include "test_support.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using test::count_occurrences;
using test::read_file;
using test::write_file;

class IniTest : public test::PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        xv_io_ini_set_mode(nullptr, KEY_ERRORS_ON);
        xv_io_ini_set_mode(nullptr, SECTION_ERRORS_ON);
    }
    void TearDown() override {
        if (xv_io_running()) {
            xv_io_deinit();
        }
        PlatformTest::TearDown();
    }
    void start(const char *archive = nullptr) {
        config = {1, archive, "settings.ini"};
        xv_io_init(&config);
    }
    std::string read(const char *section, const char *key, const char *file = "test.ini",
                     int size = 100) {
        char buffer[300];
        int stored = xv_io_ini_read(section, key, buffer, size, file);
        EXPECT_EQ(stored, static_cast<int>(strlen(buffer)));
        return xv_io_ini_status(1) ? "(failed)" : buffer;
    }

    XV_IO_CONFIG config{};
};

TEST_F(IniTest, NamesMatchExactlyAndValuesAreTakenAsTheyStand) {
    write_file("test.ini", "[ Display]\nFullscreen=9\n[Displays]\nFullscreen=8\n"
                           "[Display]\nfullscreen=7\nFullscreen =6\nFullscreenMode=5\n"
                           "Fullscreen=1\nPosition=1, 2,3\nEmpty=\nEquation=a=b\n"
                           "[Display]\nLater=2\n");
    start();
    EXPECT_EQ(read("Display", "Fullscreen"), "1");
    EXPECT_EQ(read("Display", "Position"), "1, 2,3");
    EXPECT_EQ(read("Display", "Equation"), "a=b");
    EXPECT_EQ(read("Display", "Empty"), "");
    EXPECT_EQ(read("Display", "Later"), "(failed)"); // the first section of a name wins
    EXPECT_EQ(read("display", "Fullscreen"), "(failed)");
    EXPECT_EQ(read("Sound", "Volume"), "(failed)");
    std::string log = warnings();
    EXPECT_NE(log.find("Can't find the key in the string file\n\ntest.ini,[Display]Later"),
              std::string::npos);
    EXPECT_NE(log.find("Can't find the section in the string file\n\ntest.ini,[Sound]Volume"),
              std::string::npos);
}

TEST_F(IniTest, ValueLongerThanTheBufferIsCutAndReported) {
    write_file("test.ini", "[S]\nFour=abcd\nFive=abcde\n");
    start();
    EXPECT_EQ(read("S", "Four", "test.ini", 4), "abcd");
    EXPECT_EQ(warnings(), "");
    EXPECT_EQ(read("S", "Five", "test.ini", 4), "abcd");
    EXPECT_NE(warnings().find("greater than the size of the buffer\n\n[S]Five=abcde"),
              std::string::npos);
}

TEST_F(IniTest, NumbersAreTrimmedAndMissingOnesFollowTheirRules) {
    write_file("test.ini", "[S]\nAnswer=  42  \nHalf=1.5\nWord=pinwheel\nHuge=99999999999\n");
    start();
    int number = 7;
    EXPECT_EQ(xv_io_ini_read_int("S", "Answer", &number, "test.ini"), 6);
    EXPECT_EQ(number, 42);
    xv_io_ini_set_mode(nullptr, KEY_ERRORS_OFF);
    xv_io_ini_read_int("S", "Missing", &number, "test.ini");
    EXPECT_EQ(number, 0); // an int is always stored
    xv_io_ini_read_int("S", "Huge", &number, "test.ini");
    EXPECT_EQ(number, INT_MAX);
    float value = 2.5f;
    xv_io_ini_read_float("S", "Half", &value, "test.ini");
    EXPECT_EQ(value, 1.5f);
    xv_io_ini_read_float("S", "Missing", &value, "test.ini");
    xv_io_ini_read_float("S", "Word", &value, "test.ini");
    EXPECT_EQ(value, 1.5f); // a float keeps what it had
    EXPECT_EQ(xv_io_ini_status(1), 0);
    xv_io_ini_set_mode(nullptr, KEY_ERRORS_ON);
    xv_io_ini_set_mode(nullptr, KEY_ERRORS_ON);
    xv_io_ini_read_int("S", "Missing", &number, "test.ini");
    EXPECT_EQ(xv_io_ini_status(1), 1);
    EXPECT_EQ(count_occurrences(warnings(), "Can't find the key"), 1);
}

TEST_F(IniTest, KeptFileReadsInOrderCostOneLineEachAndFindKeysBehind) {
    std::string content = "[Object001]\r\n";
    for (int i = 0; i < 20; ++i) {
        content += "key" + std::to_string(i) + "=" + std::to_string(i * i) + "\r\n";
    }
    content += "[Object002]\r\nkey0=last\r\n";
    write_file("test.ini", content);
    start();
    ASSERT_EQ(xv_io_ini_set_mode("test.ini", KEEP_OPEN), 1);
    EXPECT_EQ(read("Object001", "key0"), "0");
    for (int i = 1; i < 20; ++i) {
        long before = xv_io_get_bytes_read();
        std::string expected = std::to_string(i * i);
        EXPECT_EQ(read("Object001", ("key" + std::to_string(i)).c_str()), expected);
        std::string line = "key" + std::to_string(i) + "=" + expected + "\r\n";
        EXPECT_EQ(xv_io_get_bytes_read() - before, static_cast<long>(line.size()));
    }
    EXPECT_EQ(read("Object001", "key3"), "9"); // behind: the section's start again
    EXPECT_EQ(read("Object002", "key0"), "last");
    EXPECT_EQ(read("Object001", "key19"), "361"); // behind: the file's start again

    EXPECT_EQ(xv_io_ini_set_mode("test.ini", KEEP_OPEN), 0);
    EXPECT_EQ(xv_io_ini_set_mode("test.ini", KEEP_CLOSE), 1);
    EXPECT_EQ(xv_io_ini_set_mode("test.ini", KEEP_CLOSE), 0);
    EXPECT_EQ(xv_io_ini_set_mode(nullptr, KEEP_OPEN), 0);
    EXPECT_EQ(xv_io_ini_set_mode("test.ini", 64), 0);
    std::string log = warnings();
    EXPECT_NE(log.find("(KEEP_OPEN) with a file that is already open"), std::string::npos);
    EXPECT_NE(log.find("(KEEP_CLOSE) with a file that is not open"), std::string::npos);
    EXPECT_NE(log.find("Passed a NULL filename to xv_io_ini_set_mode()"), std::string::npos);
}

// A missing key makes the search run on to the next section's header; the
// next read of the same section must still read that section, not the next
// one's key of the same name (two scripts of one file both have "action001").
TEST_F(IniTest, AKeptFileMissingAKeyStaysInItsSection) {
    write_file("test.ini", "[Script001]\r\naction001=3\r\naction001_params=first\r\n"
                           "[Script002]\r\naction001=1\r\naction001_params=second\r\n");
    start();
    ASSERT_EQ(xv_io_ini_set_mode("test.ini", KEEP_OPEN), 1);
    EXPECT_EQ(read("Script001", "action001"), "3");
    xv_io_ini_set_mode("test.ini", KEY_ERRORS_OFF);
    EXPECT_EQ(read("Script001", "action001_thread"), "(failed)");
    xv_io_ini_set_mode("test.ini", KEY_ERRORS_ON);
    EXPECT_EQ(read("Script001", "action001_params"), "first");
    EXPECT_EQ(read("Script002", "action001_params"), "second");
    xv_io_ini_set_mode("test.ini", KEEP_CLOSE);
}

TEST_F(IniTest, WritingKeepsEveryOtherLineAndEndsLinesWithCrLf) {
    std::string long_line = "Notes=" + std::string(300, 'n');
    write_file("test.ini", "[Display]\nFullscreen=0\nResolution=640x480x16\n\n"
                           "[Sound]\n" +
                               long_line + "\nMusic=1\n");
    start();
    EXPECT_EQ(xv_io_ini_write("Display", "Fullscreen", "1", "test.ini"), 1);
    EXPECT_EQ(xv_io_ini_write("Display", "WindowPosition", "1,2,3,4", "test.ini"), 1);
    EXPECT_EQ(xv_io_ini_write_float("Sound", "Volume", 1.5f, "test.ini"), 1);
    EXPECT_EQ(xv_io_ini_write_int("System", "UsedRAM", 1234, "test.ini"), 1);
    EXPECT_EQ(read_file("test.ini"),
              "[Display]\r\nFullscreen=1\r\nResolution=640x480x16\r\nWindowPosition=1,2,3,4\r\n"
              "\r\n[Sound]\r\n" +
                  long_line +
                  "\r\nMusic=1\r\nVolume=1.500000\r\n"
                  "\r\n[System]\r\nUsedRAM=1234\r\n");
    EXPECT_EQ(read("Sound", "Music"), "1");

    // An old value longer than a line is replaced whole; the file as it
    // was stays as the backup, and nothing else is left beside it.
    EXPECT_EQ(xv_io_ini_write("Sound", "Notes", "short", "test.ini"), 1);
    EXPECT_EQ(read_file("test.ini").find("nnn"), std::string::npos);
    EXPECT_NE(read_file("test.ini.bak").find(long_line + "\r\n"), std::string::npos);
    EXPECT_FALSE(test::file_exists("test.ini.tmp"));

    EXPECT_EQ(xv_io_ini_write("Game", "Level", "1", "new.ini"), 1);
    EXPECT_EQ(read_file("new.ini"), "[Game]\r\nLevel=1\r\n");
}

// A best score is its strokes, its player's name and its date: one rewrite
// puts all three where three writes of one key each would.
TEST_F(IniTest, SeveralKeysOfASectionAreWrittenInOneRewrite) {
    const std::string before = "[Scores]\r\nHole1=3\r\nHole1Name=Ann\r\n\r\n[Players]\r\nCount=1";
    write_file("one.ini", before);
    write_file("three.ini", before);
    start();
    const XV_INI_KEY record[] = {{"Hole2", "4"}, {"Hole2Name", "Bob"}, {"Hole1Name", "Cy"}};
    EXPECT_EQ(xv_io_ini_write_keys("Scores", record, 3, "one.ini"), 1);
    for (const XV_INI_KEY &key : record) {
        EXPECT_EQ(xv_io_ini_write("Scores", key.key, key.value, "three.ini"), 1);
    }
    EXPECT_EQ(read_file("one.ini"), read_file("three.ini"));
    EXPECT_EQ(read_file("one.ini.bak"), before); // the file was replaced once
    EXPECT_EQ(read("Scores", "Hole1Name", "one.ini"), "Cy");
    // A key added to a last line without its line end starts a line of its own.
    EXPECT_EQ(xv_io_ini_write("Players", "Name1", "Dee", "one.ini"), 1);
    EXPECT_EQ(read("Players", "Count", "one.ini"), "1");
    EXPECT_EQ(read("Players", "Name1", "one.ini"), "Dee");
    const XV_INI_KEY fresh[] = {{"A", "1"}, {"B", "2"}};
    EXPECT_EQ(xv_io_ini_write_keys("New", fresh, 2, "new.ini"), 1);
    EXPECT_EQ(read_file("new.ini"), "[New]\r\nA=1\r\nB=2\r\n");
}

TEST_F(IniTest, AWriteThatCannotBeMadeLosesNothing) {
    start();
    EXPECT_EQ(xv_io_ini_write("Game", "Level", "1", "no-dir\\new.ini"), 0);
    EXPECT_NE(warnings().find("Could not write to file\n\nno-dir\\new.ini"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("no-dir"));
    // A line end in a value (a name typed with one) would write a key of its
    // own: the write is refused and said, and the file is as it was.
    write_file("players.ini", "[Players]\r\nName1=Ann\r\n");
    EXPECT_EQ(xv_io_ini_write("Players", "Name1", "Bob\r\nCount=4", "players.ini"), 0);
    EXPECT_EQ(xv_io_ini_write("Players", "Name\n2", "Bob", "players.ini"), 0);
    EXPECT_EQ(read_file("players.ini"), "[Players]\r\nName1=Ann\r\n");
    EXPECT_NE(warnings().find("a line end or '=' in a key or value"), std::string::npos);
}

TEST_F(IniTest, LostSettingsComeBackFromTheBackupAndNothingElseIsTouched) {
    const std::string saved = "[Display]\r\nFullscreen=1\r\n";
    write_file("settings.ini.bak", saved);
    start(); // the settings file itself went missing
    EXPECT_EQ(read_file("settings.ini"), saved);
    xv_io_deinit();
    write_file("settings.ini", "");          // cut to nothing
    write_file("settings.ini.tmp", "[Disp"); // a new file that never got its rename
    start();
    EXPECT_EQ(read_file("settings.ini"), saved);
    EXPECT_FALSE(test::file_exists("settings.ini.tmp"));
    xv_io_deinit();
    // A file with anything in it is the settings, edited by hand perhaps:
    // the backup does not overrule it.
    write_file("settings.ini", "[Display]\r\nFullscreen=0");
    start();
    EXPECT_EQ(read("Display", "Fullscreen", "settings.ini"), "0");
    EXPECT_EQ(read_file("settings.ini.bak"), saved);
    EXPECT_EQ(warnings(), "");
}

// The game names its settings file only once its texts are read, after the
// file layer has started: a kill that cut the file to nothing must still
// give the settings back from the backup then, and the next write keep them.
TEST_F(IniTest, SettingsLostBeforeTheyAreNamedComeBackFromTheBackup) {
    write_file("settings.ini", "");
    write_file("settings.ini.bak", "[Players]\r\nName1=Ann\r\n\r\n[Scores]\r\nHole3=4\r\n");
    config = {1, nullptr, nullptr};
    xv_io_init(&config);
    xv_io_set_settings_file("settings.ini");
    const std::string settings = xv_io_ini_path();
    EXPECT_EQ(xv_io_ini_write("Display", "Fullscreen", "1", settings.c_str()), 1);
    EXPECT_EQ(read("Scores", "Hole3", settings.c_str()), "4");
    EXPECT_EQ(read("Players", "Name1", settings.c_str()), "Ann");
    EXPECT_EQ(read("Display", "Fullscreen", settings.c_str()), "1");
}

TEST_F(IniTest, AStringFileInTheArchiveIsNeverChanged) {
    write_file("tree/data/texts.txt", "[Application]\r\nTitle=Pinwheel\r\n");
    std::string error;
    ASSERT_TRUE(respack_write(respack_entries("tree"), "RESOURCE.DAT", 1, &error));
    start("RESOURCE.DAT");
    EXPECT_EQ(read("Application", "Title", "data\\texts.txt"), "Pinwheel");
    EXPECT_EQ(xv_io_ini_write("Application", "Title", "Windmill", "data\\texts.txt"), 0);
    EXPECT_EQ(xv_io_ini_write("Application", "Title", "Golf", "data\\texts.txt"), 0);
    EXPECT_EQ(xv_io_ini_write("Application", "Class", "Golf", "data\\texts.txt"), 0);
    EXPECT_EQ(read("Application", "Title", "data\\texts.txt"), "Pinwheel");
    std::string log = warnings();
    EXPECT_NE(log.find("Attempting to write into the resource."), std::string::npos);
    EXPECT_NE(log.find("greater than the size of the buffer\n\ndata\\texts.txt, "
                       "[Application]Title=Golf"),
              std::string::npos);
    EXPECT_NE(log.find("Can't find the key in the string file\n\ndata\\texts.txt, "
                       "[Application]Class"),
              std::string::npos);
    EXPECT_FALSE(test::file_exists("data"));
}

TEST_F(IniTest, SettingsPathAndTheMemoryStatistics) {
    {
        XV_IO_CONFIG short_lived{1, nullptr, "settings.ini"};
        xv_io_init(&short_lived);
        std::string path = xv_io_ini_path();
        EXPECT_EQ(path, std::string(xv_io_start_directory()) + "settings.ini");
        EXPECT_EQ(xv_io_ini_path(), xv_io_ini_path()); // computed once
        xv_io_deinit();
    }
    // The layer kept the name, not the record it came in.
    EXPECT_STREQ(xv_io_ini_path(), "settings.ini");
    stop_tracker(); // writes its statistics after the file layer has stopped
    std::string settings = read_file("settings.ini");
    for (const char *key : {"TotalRAM=", "FreeRAM=", "UsedRAM=", "MaxNumberAlloc=", "NumberAlloc=0",
                            "TotalSizeHeap=", "MaxUsedHeap=", "UsedHeap=0"}) {
        EXPECT_NE(settings.find(std::string("\r\n") + key), std::string::npos) << key;
    }
    EXPECT_EQ(settings.rfind("[System]\r\n", 0), 0u);
}

TEST_F(IniTest, GarbageAndOverlongLinesReadSafely) {
    std::string garbage(5000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<char>(i * 7919 % 251);
    }
    write_file("garbage.ini", garbage);
    write_file("long.ini", "[S]\n" + std::string(10000, 'k') + "\nKey=v\n");
    start();
    xv_io_ini_set_mode(nullptr, SECTION_ERRORS_OFF);
    EXPECT_EQ(read("S", "Key", "garbage.ini"), "(failed)");
    EXPECT_EQ(read("S", "Key", "long.ini"), "v");
    EXPECT_EQ(warnings(), "");
}

// ---- writers killed at any moment, and writers side by side ---------------

// Runs the work in a child process, which ends with its result.
pid_t in_child(const std::function<int()> &work) {
    pid_t pid = fork();
    if (pid == 0) {
        _exit(work());
    }
    return pid;
}

int exit_code(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void pause_for(std::chrono::microseconds span) {
    timespec pause = {0, static_cast<long>(span.count()) * 1000};
    nanosleep(&pause, nullptr);
}

// Step n of a player who keeps playing: a counter, and on hole n % 9 + 1 a
// better score than the hole had, with the player's name, in one rewrite.
int write_step(int n, const char *file) {
    const std::string step = std::to_string(n);
    const std::string hole = "Hole" + std::to_string(n % 9 + 1);
    const std::string name_key = hole + "Name";
    const std::string strokes = std::to_string(1000 - n / 9);
    const std::string name = "Player" + step;
    const XV_INI_KEY keys[] = {
        {"Step", step.c_str()}, {hole.c_str(), strokes.c_str()}, {name_key.c_str(), name.c_str()}};
    return xv_io_ini_write_keys("Scores", keys, 3, file);
}

class IniWritersTest : public IniTest {
  protected:
    void SetUp() override {
        IniTest::SetUp();
        write_file("settings.ini", "[Display]\r\nFullscreen=1\r\n\r\n[Scores]\r\nStep=0\r\n");
        write_file("reference.ini", read_file("settings.ini"));
        contents.push_back(read_file("settings.ini"));
        start();
    }
    // What the settings hold after step n, as the same writes make it in
    // a file of its own.
    const std::string &content_after(int n) {
        while (static_cast<int>(contents.size()) <= n) {
            EXPECT_EQ(write_step(static_cast<int>(contents.size()), "reference.ini"), 1);
            contents.push_back(read_file("reference.ini"));
        }
        return contents[n];
    }
    // The step the settings are at, when they are whole; -1 otherwise.
    int step_of(const std::string &content) {
        int step = 0;
        XV_INI_QUIET quiet;
        xv_io_ini_read_int("Scores", "Step", &step, "settings.ini");
        return content == content_after(step) ? step : -1;
    }

    std::vector<std::string> contents;
};

// A copy of the game killed (SIGKILL) anywhere in its writing: afterwards
// the settings are always whole, the ones before a write or after it, and
// no step written, and so no best score, is ever taken back.
TEST_F(IniWritersTest, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewSettings) {
    // One write's time, so that the kills fall before, in and after writes.
    auto started = std::chrono::steady_clock::now();
    content_after(40);
    auto write_time = (std::chrono::steady_clock::now() - started) / 40;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<long> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(write_time * 3).count() + 1);
    constexpr int kKills = 250;
    int step = 0, temporaries_left = 0, steps_made = 0;
    for (int kill_number = 0; kill_number < kKills; ++kill_number) {
        const int from = step + 1;
        pid_t writer = in_child([from] {
            for (int n = from; n < from + 1000000; ++n) {
                write_step(n, "settings.ini");
            }
            return 0;
        });
        pause_for(std::chrono::microseconds(delay(random)));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        temporaries_left += test::file_exists("settings.ini.tmp");
        const int now = step_of(read_file("settings.ini"));
        ASSERT_GE(now, step) << "kill " << kill_number << " left:\n" << read_file("settings.ini");
        steps_made += now - step;
        step = now;
        if (kill_number % 10 == 0) {
            xv_io_set_settings_file("settings.ini"); // a start: what was cut off goes
            ASSERT_FALSE(test::file_exists("settings.ini.tmp"));
            ASSERT_EQ(step_of(read_file("settings.ini")), step);
        }
    }
    EXPECT_GT(steps_made, 0);
    EXPECT_GT(temporaries_left, 0) << "some kills fell inside a write";
    std::printf("%d kills: %d steps written, %d kills left a new file unrenamed\n", kKills,
                steps_made, temporaries_left);
}

// Two copies writing keys of the same section at once: every key of both
// is in the file afterwards.
TEST_F(IniWritersTest, TwoWritersAtOnceLoseNoKey) {
    constexpr int kKeys = 150;
    auto writer = [](char who) {
        return [who] {
            int written = 0;
            for (int i = 0; i < kKeys; ++i) {
                const std::string key = std::string(1, who) + std::to_string(i);
                written += xv_io_ini_write("Scores", key.c_str(), "x", "settings.ini");
            }
            return written == kKeys ? 0 : 1;
        };
    };
    pid_t first = in_child(writer('A'));
    pid_t second = in_child(writer('B'));
    EXPECT_EQ(exit_code(first), 0);
    EXPECT_EQ(exit_code(second), 0);
    for (char who : {'A', 'B'}) {
        for (int i = 0; i < kKeys; ++i) {
            EXPECT_EQ(read("Scores", (who + std::to_string(i)).c_str(), "settings.ini"), "x");
        }
    }
    EXPECT_EQ(read("Display", "Fullscreen", "settings.ini"), "1");
}

// The strokes of the record in the settings as they stand; 0 for none.
int course_record() {
    const std::string settings = read_file("settings.ini");
    size_t at = settings.find("\nCourse=");
    return at == std::string::npos ? 0 : atoi(settings.c_str() + at + 8);
}

// Two copies offering best scores at once, each looking at the record and
// writing under the lock: the record only ever gets better, and the best
// of all is the one kept, with its name.
TEST_F(IniWritersTest, TwoCopiesOfferingBestScoresKeepTheBest) {
    constexpr int kOffers = 300;
    auto offers = [](int who) {
        return [who] {
            for (int i = kOffers; i >= 0; --i) {
                const int strokes = 2 * i + who + 1; // each beats the other's last
                XV_INI_LOCK lock("settings.ini");
                int best = 0;
                {
                    XV_INI_QUIET quiet;
                    xv_io_ini_read_int("Scores", "Course", &best, "settings.ini");
                }
                if (best == 0 || strokes < best) {
                    const std::string count = std::to_string(strokes);
                    const std::string name = "Copy" + std::to_string(who);
                    const XV_INI_KEY record[] = {{"Course", count.c_str()},
                                                 {"CourseName", name.c_str()}};
                    xv_io_ini_write_keys("Scores", record, 2, "settings.ini");
                }
            }
            return 0;
        };
    };
    pid_t copies[2] = {in_child(offers(0)), in_child(offers(1))};
    int record = INT_MAX, worse = 0;
    for (int running = 2; running > 0;) {
        running = 0;
        for (pid_t copy : copies) {
            running += waitpid(copy, nullptr, WNOHANG) == 0;
        }
        const int now = course_record();
        worse += now > record;
        record = now ? now : record;
    }
    EXPECT_EQ(worse, 0) << "a better record was overwritten by a worse one";
    EXPECT_EQ(read("Scores", "Course", "settings.ini"), "1");
    EXPECT_EQ(read("Scores", "CourseName", "settings.ini"), "Copy0");
}

// A full disk (here: a file size limit) fails the write: the settings and
// their backup stay as they were, nothing is left beside them, and the
// failure is said.
TEST_F(IniWritersTest, AWriteTheDiskRefusesChangesNothingAndIsSaid) {
    ASSERT_EQ(write_step(1, "settings.ini"), 1); // so that there is a backup
    const std::string settings = read_file("settings.ini");
    const std::string backup = read_file("settings.ini.bak");
    int console[2];
    ASSERT_EQ(pipe(console), 0);
    pid_t writer = in_child([&] {
        dup2(console[1], STDERR_FILENO);
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {static_cast<rlim_t>(settings.size()),
                              static_cast<rlim_t>(settings.size())};
        setrlimit(RLIMIT_FSIZE, &limit);
        return write_step(2, "settings.ini");
    });
    close(console[1]);
    EXPECT_EQ(exit_code(writer), 0) << "the write failed";
    EXPECT_EQ(read_file("settings.ini"), settings);
    EXPECT_EQ(read_file("settings.ini.bak"), backup);
    EXPECT_FALSE(test::file_exists("settings.ini.tmp"));
    // The warning log is limited too: what it could not take went to the console.
    std::string said = warnings();
    char chunk[4096];
    for (ssize_t got; (got = ::read(console[0], chunk, sizeof chunk)) > 0;) {
        said.append(chunk, static_cast<size_t>(got));
    }
    close(console[0]);
    EXPECT_NE(said.find("Could not write to file\n\nsettings.ini: cannot write the new file: "
                        "File too large"),
              std::string::npos)
        << said;
}

// ---- a kill before each system call of a rewrite ---------------------------

// Runs the command with its output thrown away; the status waitpid gives.
// A sanitized build's leak check cannot run under strace, and is not asked to.
int run(const std::vector<std::string> &command) {
    pid_t pid = fork();
    if (pid == 0) {
        const char *options = getenv("ASAN_OPTIONS");
        setenv(
            "ASAN_OPTIONS",
            (std::string(options ? options : "") + (options ? ":" : "") + "detect_leaks=0").c_str(),
            1);
        int nothing = open("/dev/null", O_WRONLY);
        dup2(nothing, STDOUT_FILENO);
        dup2(nothing, STDERR_FILENO);
        std::vector<char *> arguments;
        for (const std::string &argument : command) {
            arguments.push_back(const_cast<char *>(argument.c_str()));
        }
        arguments.push_back(nullptr);
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// How many calls of each system call a trace (strace -f) shows, from the
// writer's mark (getppid) on, and before it.
struct CallCounts {
    std::map<std::string, int> before, total;
};

CallCounts count_calls(const std::string &trace) {
    CallCounts counts;
    std::istringstream lines(trace);
    bool marked = false;
    for (std::string line; std::getline(lines, line);) {
        size_t start = line.find_first_not_of("0123456789 ");
        size_t end = line.find('(', start);
        if (start == std::string::npos || end == std::string::npos ||
            line.find("resumed>") != std::string::npos) {
            continue;
        }
        std::string name = line.substr(start, end - start);
        if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos) {
            continue; // "+++ exited ...", "--- SIGKILL ..."
        }
        marked = marked || name == "getppid";
        counts.total[name]++;
        counts.before[name] += marked ? 0 : 1;
    }
    return counts;
}

// The writer killed (strace's injection) before each system call it makes,
// one call a run: the settings it leaves are the old ones or the new ones,
// and stay so once the next start has put right what was cut off; the
// backup is always whole. Both from settings as a write leaves them and
// from settings an older writer lost (empty, the backup whole), which the
// writer restores first.
TEST_F(IniTest, SettingsSurviveAKillBeforeEachSystemCallOfARewrite) {
    if (run({"strace", "-V"}) != 0) {
        GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it): the "
                        "writer cannot be killed at each of its system calls";
    }
    const std::string older = "[Players]\r\nName1=Ann\r\n";
    const std::string old = older + "\r\n[Scores]\r\nHole3=5\r\nHole3Name=Ann\r\n";
    const std::vector<std::string> writer = {INI_WRITER, "settings.ini",  "Scores",
                                             "Hole3=2",  "Hole3Name=Bob", "Hole3Date=2024-06-11"};
    for (bool lost : {false, true}) {
        auto lay_out = [&] {
            // Made anew: a kill may leave the file and its backup one file
            // under two names.
            std::filesystem::remove("settings.ini");
            std::filesystem::remove("settings.ini.bak");
            write_file("settings.ini", lost ? "" : old);
            write_file("settings.ini.bak", lost ? old : older);
            std::filesystem::remove("settings.ini.tmp");
            std::filesystem::remove("settings.ini.bak.new");
        };
        lay_out();
        std::vector<std::string> traced = {"strace", "-f", "-qq", "-o", "trace.log", "--"};
        traced.insert(traced.end(), writer.begin(), writer.end());
        ASSERT_EQ(run(traced), 0);
        const std::string fresh = read_file("settings.ini");
        ASSERT_NE(fresh.find("Hole3Name=Bob\r\n"), std::string::npos);
        const CallCounts calls = count_calls(read_file("trace.log"));
        int kills = 0, old_kept = 0;
        for (const auto &[name, total] : calls.total) {
            for (int n = calls.before.at(name) + 1; n <= total; ++n) {
                lay_out();
                std::vector<std::string> killed = {"strace",
                                                   "-f",
                                                   "-qq",
                                                   "-o",
                                                   "/dev/null",
                                                   "-e",
                                                   "inject=" + name +
                                                       ":signal=SIGKILL:when=" + std::to_string(n),
                                                   "--"};
                killed.insert(killed.end(), writer.begin(), writer.end());
                const int status = run(killed);
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
                    << name << " call " << n << ": not killed";
                ++kills;
                const std::string left = read_file("settings.ini");
                EXPECT_TRUE(lost || left == old || left == fresh) << name << " " << n << ":\n"
                                                                  << left;
                ASSERT_EQ(run({INI_WRITER, "settings.ini"}), 0); // the next start
                const std::string settled = read_file("settings.ini");
                EXPECT_TRUE(settled == old || settled == fresh) << name << " " << n << ":\n"
                                                                << settled;
                const std::string backup = read_file("settings.ini.bak");
                EXPECT_TRUE(backup == old || backup == older) << name << " " << n;
                EXPECT_FALSE(test::file_exists("settings.ini.tmp"));
                old_kept += settled == old;
            }
        }
        EXPECT_GT(kills, 20);
        EXPECT_GT(old_kept, 0);
        EXPECT_LT(old_kept, kills) << "a kill after the rename leaves the new settings";
        std::printf("%s: %d kills, one before each system call; %d left the old settings, "
                    "%d the new\n",
                    lost ? "lost settings" : "settings", kills, old_kept, kills - old_kept);
    }
}

} // namespace
