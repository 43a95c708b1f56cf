// The course as the build made it, damaged one file at a time and packed
// again, played through by the computer with no window (`--bot-course`):
// each damage ends with a clear message naming what is wrong, or plays on
// where it is harmless; never a crash, a hang or a log without end.
#include "respack.h"
#include "test_support.h"
#include "xv_bytes.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using test::count_occurrences;
using test::read_file;
using test::write_file;

constexpr char kCourse[] = "tree/gfx/wo2/course/";

struct CourseRun {
    int status = -1; // the exit status, or -1 when it did not exit by itself
    std::string out, err;
};

class DamagedCourseTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        fs::copy(ARCHIVE_TREE, "tree", fs::copy_options::recursive);
    }
    // Packs the tree as the game's archive, alone in the game's directory:
    // what the damage removed is nowhere.
    void pack() {
        std::string error;
        fs::create_directory("game");
        ASSERT_TRUE(respack_write(respack_entries("tree"), "game/RESOURCE.DAT", 1, &error))
            << error;
    }
    std::string command(const std::string &level) const {
        return std::string("cd game && exec ") + PINWHEEL_EXE + " --bot-course " + level +
               " >out.txt 2>err.txt";
    }
    CourseRun play(const std::string &level = "easy") {
        pack();
        const int status = std::system(("timeout 600 sh -c '" + command(level) + "'").c_str());
        return finished(status);
    }
    static CourseRun finished(int status) {
        CourseRun run;
        run.status = WIFEXITED(status) && WEXITSTATUS(status) != 124 ? WEXITSTATUS(status) : -1;
        run.out = read_file("game/out.txt");
        run.err = read_file("game/err.txt");
        return run;
    }
    // The run stopped with its reason, cleanly: no sanitizer's report, and
    // error.txt says it once.
    static void expect_stopped(const CourseRun &run, int hole, const std::string &reason) {
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("pinwheel --bot-course: stopped on hole " + std::to_string(hole) +
                               ": " + reason),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(count_occurrences(run.out, "strokes (par"), hole)
            << "the holes before, and the total";
        EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
        EXPECT_LT(read_file("game/error.txt").size(), 16384u);
    }
    static void replace_in(const std::string &path, const std::string &from,
                           const std::string &to) {
        std::string text = read_file(path);
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        write_file(path, text.replace(at, from.size(), to));
    }
};

TEST_F(DamagedCourseTest, ALevelListWithoutAHolesSectionStopsAtThatHole) {
    replace_in("tree/data/levels.txt", "[level002]", "[levelXX2]");
    expect_stopped(play(), 2, "screen not found ([level002] of data\\levels.txt)");
}

TEST_F(DamagedCourseTest, AParOutOfRangeIsRefused) {
    const std::string levels = read_file("tree/data/levels.txt");
    const size_t section = levels.find("[level003]");
    const size_t par = levels.find("par=", section);
    ASSERT_NE(par, std::string::npos);
    write_file("tree/data/levels.txt", levels.substr(0, par) + "par=-99999999999" +
                                           levels.substr(levels.find_first_of("\r\n", par)));
    expect_stopped(play(), 3,
                   "par -2147483648 of [level003] in data\\levels.txt is out of range (1 to 20)");
}

// The map would be loaded (its checksum is the header's) over a model that
// stops half-way: the model is no model, and the hole is not played.
TEST_F(DamagedCourseTest, ATruncatedModelWithItsMapIntactStopsAtItsHole) {
    fs::resize_file(std::string(kCourse) + "hole3.wo2", 400000);
    expect_stopped(play(), 3, "gen_wo2_load: file gfx\\wo2\\course\\hole3.wo2 ends too soon");
}

TEST_F(DamagedCourseTest, AMissingModelStopsAtItsHoleWithOneReport) {
    fs::remove(std::string(kCourse) + "hole3.wo2");
    const CourseRun run = play();
    expect_stopped(run, 3, "gen_wo2_load: cant load file gfx\\wo2\\course\\hole3.wo2");
    EXPECT_EQ(count_occurrences(read_file("game/error.txt"), "E R R O R"), 1);
}

// A map whose triangles all moved half a vertex along (inside the model's
// vertices, reading their floats from the wrong places) is a stale cache:
// it is built again and the course plays to its end.
TEST_F(DamagedCourseTest, AMapThatDoesNotFitItsModelIsBuiltAgain) {
    std::string map = read_file(std::string(kCourse) + "hole1.col");
    auto *bytes = reinterpret_cast<uint8_t *>(map.data());
    const uint32_t nodes = xv_le32(bytes + 10 + 12);
    size_t triangles = 0;
    for (uint32_t n = 0; n < nodes; ++n) {
        triangles += xv_le32(bytes + 34 + 37 * n + 29);
    }
    const size_t first = 34 + 37 * size_t{nodes};
    uint32_t last = 0;
    for (size_t t = 0; t < triangles; ++t) {
        last = std::max(last, xv_le32(bytes + first + 72 * t + 56));
    }
    for (size_t t = 0; t < triangles; ++t) {
        uint8_t *offset = bytes + first + 72 * t + 56;
        if (xv_le32(offset) < last) {
            xv_put_le32(offset, xv_le32(offset) + 8);
        }
    }
    write_file(std::string(kCourse) + "hole1.col", map);
    const CourseRun run = play();
    ASSERT_NE(run.status, -1) << "it ends";
    EXPECT_EQ(count_occurrences(run.out, "strokes (par"), 10) << run.out << run.err;
    EXPECT_EQ(run.err.find("stopped"), std::string::npos) << run.err;
    EXPECT_NE(read_file("game/history.txt").find("hole1.col does not fit its model: built again"),
              std::string::npos);
    EXPECT_EQ(read_file("game/error.txt"), "");
}

// Nothing damaged: a termination signal stops the course in order, with
// what it played so far said, rather than being ignored.
TEST_F(DamagedCourseTest, ATerminationSignalStopsTheCourseInOrder) {
    pack();
    const pid_t game = test::spawn({"sh", "-c", command("hard")}, {});
    ASSERT_GT(game, 0);
    ASSERT_TRUE(test::eventually([] {
        return read_file("game/history.txt").find("round: player 1 strikes") != std::string::npos;
    }));
    kill(game, SIGTERM);
    int status = 0;
    ASSERT_TRUE(test::eventually([&] { return waitpid(game, &status, WNOHANG) == game; }));
    const CourseRun run = finished(status);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(": asked to stop"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("total:"), std::string::npos);
}

} // namespace
