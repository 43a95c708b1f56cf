// The file operations below the file layer, as both systems must do them:
// files replaced whole with their backup, one writer at a time, the user's
// folders, the program's own folder.
#include "os_file.h"
#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using test::file_exists;
using test::read_file;
using test::write_file;

class OsFileTest : public test::TempDirTest {};

void set_variable(const char *name, const std::string &value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// ---- files replaced whole ----------------------------------------------------

TEST_F(OsFileTest, ReplaceMakesTheFileWhenThereWasNone) {
    std::string why;
    ASSERT_TRUE(os_file_replace("a.ini", "a.ini.tmp", "a.ini.bak", "new", &why)) << why;
    EXPECT_EQ(read_file("a.ini"), "new");
    EXPECT_FALSE(file_exists("a.ini.tmp"));
    EXPECT_FALSE(file_exists("a.ini.bak")) << "nothing was there to keep";
}

// Windows' own rename does not replace: the settings' backup relies on it.
TEST_F(OsFileTest, ReplaceKeepsTheOldFileAsTheBackupOverAnOlderOne) {
    write_file("a.ini", "second");
    write_file("a.ini.bak", "first");
    std::string why;
    ASSERT_TRUE(os_file_replace("a.ini", "a.ini.tmp", "a.ini.bak", "third", &why)) << why;
    EXPECT_EQ(read_file("a.ini"), "third");
    EXPECT_EQ(read_file("a.ini.bak"), "second");
    EXPECT_FALSE(file_exists("a.ini.tmp"));
    EXPECT_FALSE(file_exists("a.ini.bak.new"));
}

TEST_F(OsFileTest, ReplaceWithoutABackupLeavesNone) {
    write_file("a.ini", "old");
    std::string why;
    ASSERT_TRUE(os_file_replace("a.ini", "a.ini.tmp", nullptr, "new", &why)) << why;
    EXPECT_EQ(read_file("a.ini"), "new");
    EXPECT_FALSE(file_exists("a.ini.bak"));
}

// The bytes are the bytes given: no line ends changed on the way.
TEST_F(OsFileTest, ReplaceWritesTheBytesAsGiven) {
    const std::string bytes("[A]\r\nB=1\n\0\x1a end", 16);
    std::string why;
    ASSERT_TRUE(os_file_replace("a.ini", "a.ini.tmp", nullptr, bytes, &why)) << why;
    EXPECT_EQ(read_file("a.ini"), bytes);
    EXPECT_EQ(os_file_size("a.ini"), 16);
}

TEST_F(OsFileTest, AFailedReplaceLeavesTheFileAsItWasAndSaysWhy) {
    write_file("a.ini", "old");
    std::string why;
    EXPECT_FALSE(os_file_replace("a.ini", "missing/a.ini.tmp", "a.ini.bak", "new", &why));
    EXPECT_EQ(read_file("a.ini"), "old");
    EXPECT_NE(why.find("cannot create the new file"), std::string::npos) << why;
}

// ---- one writer at a time ----------------------------------------------------

TEST_F(OsFileTest, ALockHeldIsRefusedToASecondHolderUntilLetGo) {
    std::string why;
    OS_FILE_LOCK *first = os_file_lock("a.lock", 0, &why);
    ASSERT_NE(first, nullptr) << why;
    EXPECT_TRUE(file_exists("a.lock"));
    EXPECT_EQ(os_file_lock("a.lock", 5, &why), nullptr);
    EXPECT_NE(why.find("cannot lock it"), std::string::npos) << why;
    os_file_unlock(first);
    OS_FILE_LOCK *second = os_file_lock("a.lock", 0, &why);
    EXPECT_NE(second, nullptr) << why;
    os_file_unlock(second);
    EXPECT_TRUE(file_exists("a.lock")) << "kept, so that every program locks the same file";
}

TEST_F(OsFileTest, ALockInAMissingFolderSaysWhy) {
    std::string why;
    EXPECT_EQ(os_file_lock("missing/a.lock", 0, &why), nullptr);
    EXPECT_NE(why.find("cannot open its lock"), std::string::npos) << why;
}

// ---- small operations --------------------------------------------------------

TEST_F(OsFileTest, AppendMakesTheFileThenAddsToIt) {
    EXPECT_TRUE(os_file_append("log.txt", {"one", " two\n"}));
    EXPECT_TRUE(os_file_append("log.txt", {"three\n"}));
    EXPECT_EQ(read_file("log.txt"), "one two\nthree\n");
    EXPECT_FALSE(os_file_append("missing/log.txt", {"x"}));
}

TEST_F(OsFileTest, DeleteSaysWhetherThereWasAFile) {
    write_file("gone.txt", "x");
    EXPECT_TRUE(os_file_delete("gone.txt"));
    EXPECT_FALSE(file_exists("gone.txt"));
    EXPECT_FALSE(os_file_delete("gone.txt"));
}

TEST_F(OsFileTest, SizeAndExistence) {
    write_file("five.txt", "12345");
    EXPECT_EQ(os_file_size("five.txt"), 5);
    EXPECT_EQ(os_file_size("none.txt"), -1);
    EXPECT_TRUE(os_file_exists("five.txt"));
    EXPECT_FALSE(os_file_exists("none.txt"));
}

// The game's names open on either system, whatever their case.
TEST_F(OsFileTest, TheGamesNamesFindTheFilesWhateverTheirCase) {
    write_file("Data/Texts.txt", "hello");
    EXPECT_EQ(read_file(os_file_find_path("data\\texts.TXT")), "hello");
    EXPECT_EQ(read_file(os_file_find_path("DATA/TEXTS.txt")), "hello");
}

TEST_F(OsFileTest, TheCurrentDirectoryEndsWithASeparator) {
    std::string here = os_current_directory();
    ASSERT_FALSE(here.empty());
    EXPECT_TRUE(here.back() == '/' || here.back() == '\\');
    write_file("marker.txt", "x");
    EXPECT_TRUE(file_exists(here + "marker.txt"));
}

TEST_F(OsFileTest, AFolderIsWritableUnlessItIsMissing) {
    EXPECT_TRUE(os_directory_writable(directory().c_str()));
    EXPECT_TRUE(os_directory_writable(""));
    EXPECT_FALSE(os_directory_writable((directory() + "/missing").c_str()));
    EXPECT_TRUE(std::filesystem::is_empty(directory())) << "the probe leaves nothing behind";
}

// ---- the user's folders and the program's ------------------------------------

#if defined(_WIN32)
constexpr const char *kConfigVariable = "APPDATA";
constexpr const char *kDataVariable = "LOCALAPPDATA";
#else
constexpr const char *kConfigVariable = "XDG_CONFIG_HOME";
constexpr const char *kDataVariable = "XDG_DATA_HOME";
#endif

TEST_F(OsFileTest, TheUsersSettingsFolderIsMadeUnderTheSystemsPlace) {
    set_variable(kConfigVariable, directory() + "/config");
    std::string why;
    std::string folder = os_user_config_directory("pinwheel", &why);
    ASSERT_FALSE(folder.empty()) << why;
    EXPECT_TRUE(std::filesystem::is_directory(directory() + "/config/pinwheel"));
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\');
    write_file(folder + "pinwheel.ini", "x");
    EXPECT_EQ(read_file(directory() + "/config/pinwheel/pinwheel.ini"), "x");
}

TEST_F(OsFileTest, TheUsersDataFolderIsApartFromTheSettingsFolder) {
    set_variable(kConfigVariable, directory() + "/config");
    set_variable(kDataVariable, directory() + "/data");
    std::string why;
    EXPECT_NE(os_user_data_directory("pinwheel", &why), os_user_config_directory("pinwheel", &why));
    EXPECT_TRUE(std::filesystem::is_directory(directory() + "/data/pinwheel"));
}

TEST_F(OsFileTest, AUsersFolderThatCannotBeMadeSaysWhy) {
    write_file("file", "a file where a folder should be");
    set_variable(kConfigVariable, directory() + "/file");
    std::string why;
    EXPECT_EQ(os_user_config_directory("pinwheel", &why), "");
    EXPECT_NE(why.find("cannot"), std::string::npos) << why;
}

TEST_F(OsFileTest, TheProgramsFolderHoldsTheProgram) {
    std::string folder = os_program_directory();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\');
    bool found = false;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        found = found || entry.path().filename().string().rfind("os_file_test", 0) == 0;
    }
    EXPECT_TRUE(found) << folder;
}

TEST_F(OsFileTest, ChangingDirectoryMovesWhereNamesAreFound) {
    std::filesystem::create_directory("inner");
    write_file("inner/here.txt", "in");
    ASSERT_TRUE(os_change_directory("inner"));
    EXPECT_EQ(read_file("here.txt"), "in");
    EXPECT_FALSE(os_change_directory("missing"));
}

} // namespace
