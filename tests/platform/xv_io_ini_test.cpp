#include "respack.h"
#include "test_support.h"

#include <filesystem>

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

    // An old value longer than a line is replaced whole.
    EXPECT_EQ(xv_io_ini_write("Sound", "Notes", "short", "test.ini"), 1);
    EXPECT_EQ(read_file("test.ini").find("nnn"), std::string::npos);
    EXPECT_FALSE(test::file_exists("test.ini.bak"));

    EXPECT_EQ(xv_io_ini_write("Game", "Level", "1", "new.ini"), 1);
    EXPECT_EQ(read_file("new.ini"), "[Game]\r\nLevel=1\r\n");
}

TEST_F(IniTest, AWriteThatCannotBeMadeLosesNothing) {
    start();
    EXPECT_EQ(xv_io_ini_write("Game", "Level", "1", "no-dir\\new.ini"), 0);
    EXPECT_NE(warnings().find("Could not write to file\n\nno-dir\\new.ini"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("no-dir"));
}

TEST_F(IniTest, AnInterruptedWriteLeavesTheBackupAsTheSettings) {
    write_file("settings.ini.bak", "[Display]\r\nFullscreen=1\r\n");
    start(); // the settings file itself went missing
    EXPECT_EQ(read("Display", "Fullscreen", "settings.ini"), "1");
    xv_io_deinit();
    write_file("settings.ini.bak", "[Display]\r\nFullscreen=0\r\n");
    write_file("settings.ini", "[Disp"); // cut short
    start();
    EXPECT_EQ(read("Display", "Fullscreen", "settings.ini"), "0");
    EXPECT_FALSE(test::file_exists("settings.ini.bak"));
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

} // namespace
