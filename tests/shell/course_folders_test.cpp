// The players' courses: folders of text found in the player's data folder
// or named by --course, listed by their names, built the first time they
// are chosen into the player's cache, found built at the next start, built
// again when a text changes, and played from there as the game's own are.
#include "course_folders.h"
#include "level_test.h"

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

constexpr char kCourse[] = "id lane\n"
                           "name EN The Lane\nname FR La Piste\nname ES La Pista\n"
                           "name DE Die Bahn\nname IT La Pista\nname PT A Pista\n"
                           "name JP 小道\n"
                           "hole first.txt\n";

std::string hole_text(int par) {
    return "name EN First\nname FR Premier\nname ES Primero\nname DE Erstes\n"
           "name IT Primo\nname PT Primeiro\nname JP 最初\n"
           "par " +
           std::to_string(par) +
           "\nmusic level1\nwall_kind wood\nangle 0\n"
           "area -1.5 0  1.5 0  1.5 14  -1.5 14\n"
           "wall -1.5 0  1.5 0  1.5 14  -1.5 14 closed\n"
           "tee 0 12\ncup 0 2\n"
           "camera cam_followed 0 3 16.5\ncamera hole 2.5 3 -1 trigger 0 0 2 2.5\n"
           "camstart 0 3 16.5\n"
           "trail 0 5 -2  5 5 7  0 3.5 17\n";
}

class CourseFoldersTest : public test::LevelTest {
  protected:
    void SetUp() override {
        LevelTest::SetUp();
        gen_wo2_set_load_maps(0);
        data_ = directory() + "/home-data";
        cache_ = directory() + "/home-cache";
        saved_data_ = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
        saved_cache_ = getenv("XDG_CACHE_HOME") ? getenv("XDG_CACHE_HOME") : "";
        setenv("XDG_DATA_HOME", data_.c_str(), 1);
        setenv("XDG_CACHE_HOME", cache_.c_str(), 1);
        write_flat_levels({1}); // the game's own course
    }
    void TearDown() override {
        restore("XDG_DATA_HOME", saved_data_);
        restore("XDG_CACHE_HOME", saved_cache_);
        LevelTest::TearDown();
    }
    static void restore(const char *name, const std::string &value) {
        value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
    }
    // A course folder in the player's data folder.
    void write_players_course(const std::string &name, int par = 2) {
        write_file(data_ + "/pinwheel/courses/" + name + "/course.txt", kCourse);
        write_file(data_ + "/pinwheel/courses/" + name + "/first.txt", hole_text(par));
    }
    // The folders the builds made, by their keys.
    std::vector<fs::path> builds() const {
        std::vector<fs::path> found;
        std::error_code none;
        for (const auto &entry : fs::directory_iterator(cache_ + "/pinwheel/courses", none)) {
            found.push_back(entry.path());
        }
        return found;
    }
    std::string data_, cache_;

  private:
    std::string saved_data_, saved_cache_;
};

// Listed by its names, built when chosen, played from the cache; the next
// start finds it built; a changed text is built again.
TEST_F(CourseFoldersTest, AFolderIsBuiltWhenFirstChosenAndFoundBuiltAfter) {
    write_players_course("mine");
    EXPECT_EQ(course_folders_add(nullptr), "");
    ASSERT_EQ(course_count(), 2);
    const COURSE *listed = course_at(1);
    EXPECT_EQ(listed->id, "lane");
    EXPECT_EQ(course_name(*listed, "DE"), "Die Bahn");
    EXPECT_EQ(listed->hole_count, 0) << "not built before it is chosen";
    EXPECT_TRUE(builds().empty());

    ASSERT_TRUE(course_choose("lane"));
    EXPECT_EQ(course().hole_count, 1);
    EXPECT_EQ(course_hole(1)->par, 2);
    ASSERT_EQ(builds().size(), 1u);
    const fs::path built = builds()[0];
    EXPECT_TRUE(fs::exists(built / "built"));
    EXPECT_TRUE(fs::exists(built / "gfx/wo2/lane/hole1.col")) << "the maps are built with it";
    start_single_level(1);
    level_init();
    EXPECT_TRUE(level_loaded());
    EXPECT_EQ(game()->par, 2);
    level_deinit();
    EXPECT_EQ(errors(), "");

    // The next start: the same texts, the same build, not made again.
    const auto made = fs::last_write_time(built / "built");
    courses_forget();
    course_folders_add(nullptr);
    ASSERT_TRUE(course_choose("lane"));
    EXPECT_EQ(fs::last_write_time(built / "built"), made);
    EXPECT_EQ(builds().size(), 1u);

    // A text changed: built anew under another key.
    write_players_course("mine", 3);
    courses_forget();
    course_folders_add(nullptr);
    ASSERT_TRUE(course_choose("lane"));
    EXPECT_EQ(course_hole(1)->par, 3);
    EXPECT_EQ(builds().size(), 2u);
}

// --course names a folder anywhere, or a course by its id; a folder at
// fault is left out with FILE:LINE and the game's courses stay.
TEST_F(CourseFoldersTest, CourseNamesAFolderOrAnIdAndAFaultIsSaid) {
    write_file("elsewhere/course.txt", kCourse);
    write_file("elsewhere/first.txt", hole_text(2));
    EXPECT_EQ(course_folders_add("elsewhere"), "lane");
    EXPECT_EQ(course_folders_add("course"), "course") << "an id is passed on";
    courses_forget();

    write_players_course("broken");
    write_file(data_ + "/pinwheel/courses/broken/first.txt", hole_text(2) + "slope 0 0 0 0 1\n");
    EXPECT_EQ(course_folders_add(nullptr), "");
    EXPECT_EQ(course_count(), 1);
    EXPECT_NE(warnings().find("broken/first.txt:20: "), std::string::npos) << warnings();
}

} // namespace
