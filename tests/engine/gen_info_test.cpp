#include "test_support.h"

#include "gen.h"

#include <filesystem>
#include <functional>

namespace {

using test::count_occurrences;
using test::read_file;

// The engine log keeps "written in this run" flags for the process: every
// run of these tests is a child process of its own, checked by what it wrote.
class EngineLogTest : public test::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "fast");
    }

    // Runs body in a fresh process that ends with the status body returns.
    static void run(const std::function<int()> &body, int status = 0) {
        EXPECT_EXIT(exit(body()), ::testing::ExitedWithCode(status), "");
    }
};

TEST_F(EngineLogTest, ErrorWritesAFramedReportAndAsksToClose) {
    run(
        [] {
            gen_error("cant load file %s", "gfx\\wo2\\hole1.wo2");
            return xv_dsp_close_requested() ? 7 : 0;
        },
        7);
    std::string report = read_file("error.txt");
    std::string dashes(63, '-');
    EXPECT_EQ(
        report.rfind("* * * E R R O R ! * * *\n" + dashes +
                         "\ncant load file gfx\\wo2\\hole1.wo2\n"
                         "***** Call Stack Begin *****\nCalled from file: src/engine/gen_info.cpp "
                         "on line: ",
                     0),
        0u);
    EXPECT_NE(report.find("\ngen_error\n"), std::string::npos);
    std::string end = "***** Call Stack End *****\n" + dashes + "\n";
    EXPECT_EQ(report.substr(report.size() - end.size()), end);
}

TEST_F(EngineLogTest, ErrorsOfARunAccumulateAndANewRunStartsAfresh) {
    run([] {
        gen_error("first");
        gen_error("second");
        return gen_error_reported() ? 0 : 1;
    });
    EXPECT_EQ(count_occurrences(read_file("error.txt"), "* * * E R R O R ! * * *"), 2);
    run([] {
        gen_error("third");
        return 0;
    });
    std::string report = read_file("error.txt");
    EXPECT_EQ(count_occurrences(report, "* * * E R R O R ! * * *"), 1);
    EXPECT_NE(report.find("\nthird\n"), std::string::npos);
}

TEST_F(EngineLogTest, StartDeletesTheOldErrorFileUnlessThisRunReportedOne) {
    run([] {
        gen_error("kept");
        gen_info_init();
        return 0;
    });
    EXPECT_TRUE(test::file_exists("error.txt"));
    run([] {
        gen_info_init();
        return 0;
    });
    EXPECT_FALSE(test::file_exists("error.txt"));
}

TEST_F(EngineLogTest, AssertionNamesExpressionSourceAndLine) {
    run([] {
        gen_assert("model!=NULL", "gen_wo2", 2247);
        return 0;
    });
    EXPECT_NE(
        read_file("error.txt").find("\nassert failed (model!=NULL) in file gen_wo2 line 2247\n"),
        std::string::npos);
    run([] {
        int *model = nullptr;
        GEN_ASSERT(model != nullptr);
        return 0;
    });
    EXPECT_NE(read_file("error.txt")
                  .find("assert failed (model != nullptr) in file "
                        "tests/engine/gen_info_test.cpp line "),
              std::string::npos);
}

TEST_F(EngineLogTest, HistoryIsEmptiedByTheFirstLineOfARunAndAddsNoLineBreaks) {
    std::filesystem::path previous_run = "history.txt";
    FILE *file = fopen("history.txt", "w");
    fputs("last run\n", file);
    fclose(file);
    run([] {
        gen_history("Loading %s", "hole 1");
        gen_history(" done\n");
        gen_history("Memory Allocated Max: %ld\n", 1234L);
        return 0;
    });
    EXPECT_EQ(read_file("history.txt"), "Loading hole 1 done\nMemory Allocated Max: 1234\n");
}

TEST_F(EngineLogTest, UnwritableHistoryBecomesAnError) {
    std::filesystem::create_directory("history.txt");
    run([] {
        gen_history("lost");
        return 0;
    });
    EXPECT_NE(read_file("error.txt")
                  .find("gen_history: cant create or modify history file: history.txt\n"),
              std::string::npos);
}

// A loop that meets the same failed check every frame wrote 274,201 copies
// of it (515 MB) in five minutes.
TEST_F(EngineLogTest, AnErrorMetEveryFrameIsOneReportWithItsCount) {
    run([] {
        for (int frame = 0; frame < 300000; ++frame) {
            gen_assert("gen_coll_wo2_model->in_use", "src/engine/gen_coll.cpp", 463);
        }
        gen_error("another");
        for (int frame = 0; frame < 3; ++frame) {
            gen_error("another");
        }
        return 0; // the count still to write is written as the program ends
    });
    const std::string report = read_file("error.txt");
    EXPECT_EQ(count_occurrences(report, "* * * E R R O R ! * * *"), 2);
    EXPECT_NE(report.find("-\n(the report above repeated 299999 times)\n* * * E R R O R ! * * *\n"),
              std::string::npos);
    EXPECT_TRUE(report.ends_with("-\n(the report above repeated 3 times)\n")) << report;
    EXPECT_LT(report.size(), 20000u);
}

TEST_F(EngineLogTest, WholeTraceLinesThatRepeatAreCountedButNoLineIsBrokenUp) {
    run([] {
        for (int i = 0; i < 1000; ++i) {
            gen_history("Node %d -> Action %d (kind = %d) -> %s with param %d \n", 0, 0, 1,
                        "STARTING", 0);
        }
        for (int k = 0; k < 4; ++k) {
            gen_history("%f ", 0.0);
        }
        gen_history("\n");
        gen_history("done\n");
        gen_info_deinit();
        return 0;
    });
    EXPECT_EQ(read_file("history.txt"), "Node 0 -> Action 0 (kind = 1) -> STARTING with param 0 \n"
                                        "(the line above repeated 999 times)\n"
                                        "0.000000 0.000000 0.000000 0.000000 \n"
                                        "done\n");
}

TEST_F(EngineLogTest, TheTraceCanBeTurnedOff) {
    run([] {
        gen_info_set_trace(0);
        gen_history("Loading spline trail .. \n");
        gen_info_set_trace(1);
        gen_history("kept\n");
        return 0;
    });
    EXPECT_EQ(read_file("history.txt"), "kept\n");
}

TEST_F(EngineLogTest, MessageGoesToTheWarningBox) {
    run([] {
        gen_message("Par %d", 3);
        return 0;
    });
    EXPECT_EQ(read_file("Warning.txt"), "Message: Par 3\r\n");
}

// The buffer doubles until a message leaves one byte free; the tracker
// shows its size.
size_t buffer_size_after(size_t message_length) {
    XV_ERROR_CONFIG errors{1};
    XV_MEM_CONFIG memory{1, 0};
    xv_error_init(&errors);
    xv_mem_init(&memory);
    gen_history("%s", std::string(message_length, 'x').c_str());
    xv_mem_name_dump("names.txt");
    std::string dump = read_file("names.txt");
    size_t name = dump.find(", Name = gen_info_buffer (use gen_info_deinit)");
    size_t size = dump.rfind("Size = ", name);
    return std::stoul(dump.substr(size + 7, name - size - 7));
}

TEST_F(EngineLogTest, FormatBufferDoublesUntilTheMessageFits) {
    run([] { return buffer_size_after(98) == 100 ? 0 : 1; });
    run([] { return buffer_size_after(99) == 200 ? 0 : 1; });
    run([] { return buffer_size_after(250) == 400 ? 0 : 1; });
}

TEST_F(EngineLogTest, DeinitReleasesTheBuffer) {
    run([] {
        XV_ERROR_CONFIG errors{1};
        XV_MEM_CONFIG memory{1, 0};
        xv_error_init(&errors);
        xv_mem_init(&memory);
        gen_history("line\n");
        gen_info_deinit();
        return xv_mem_deinit() == 1 ? 0 : 1;
    });
}

TEST_F(EngineLogTest, OverlongMessageIsCutNotLost) {
    run([] {
        gen_history("%s", std::string(3 << 20, 'y').c_str());
        return 0;
    });
    size_t kept = read_file("history.txt").size();
    EXPECT_GE(kept, 1u << 20);
    EXPECT_LT(kept, 2u << 20);
}

TEST_F(EngineLogTest, FileNamesMustBeEightDotThree) {
    for (const char *good : {"island.WO2", "gfx\\wo2\\island\\island.WO2", "readme"}) {
        EXPECT_TRUE(gen_test_if_filename_is_8_3(good));
        EXPECT_TRUE(gen_test_path_is_8_3(good));
    }
    EXPECT_FALSE(test::file_exists("error.txt"));

    static const char *path;
    const struct {
        const char *path;
        const char *report;
    } bad[] = {
        {"pinwheel2.wo2", "\nFilename pinwheel2.wo2 is not 8.3 format -name 9 extension 3-\n"},
        {"gfx\\.wo2", "Filename .wo2 is not 8.3 format -name 0 extension 3-"},
        {"model.wo22", "-name 5 extension 4-"},
        {"gfx\\textures1\\rock.png", "\nFilename textures1 is not 8.3 format -name 9 extension 0-"},
        {nullptr, "\ngen_test_if_filename_is_8_3: filename is NULL!!\n"},
    };
    for (const auto &name : bad) {
        path = name.path;
        run([] { return gen_test_path_is_8_3(path) ? 1 : 0; });
        EXPECT_NE(read_file("error.txt").find(name.report), std::string::npos) << name.report;
    }
}

} // namespace
