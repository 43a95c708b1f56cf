// The text logs: a repeated entry written once with a count, whole entries
// that span several texts, the limit of a run and the note that ends it.
#include "test_support.h"

#include <string>

namespace {

using test::read_file;

class LogTest : public test::TempDirTest {
  protected:
    XV_LOG log = xv_log_make("run.log", "line", "\n", 1024, true);

    void line(const std::string &text) {
        if (!xv_log_repeats(&log, {text})) {
            xv_log_append(&log, {text, "\n"});
        }
    }
};

TEST_F(LogTest, ARunOfRepeatsIsOneLineAndItsCount) {
    for (int i = 0; i < 100000; ++i) {
        line("assert failed (model->in_use) in file gen_coll.cpp line 463");
    }
    line("next");
    line("next");
    line("last");
    line("last");
    line("last");
    xv_log_close(&log);
    EXPECT_EQ(read_file("run.log"), "assert failed (model->in_use) in file gen_coll.cpp line 463\n"
                                    "(the line above repeated 99999 times)\n"
                                    "next\n"
                                    "(the line above repeated once)\n"
                                    "last\n"
                                    "(the line above repeated 2 times)\n");
}

TEST_F(LogTest, TextsAddedToAnEntryKeepItWholeAndAnEntryWithoutAKeyIsNeverARepeat) {
    for (int i = 0; i < 3; ++i) {
        if (!xv_log_repeats(&log, {"Alert: ", "no file"})) {
            xv_log_append(&log, {"Alert: no file\n"});
            xv_log_append(&log, {"call stack\n"}); // belongs to the alert
        }
    }
    for (int i = 0; i < 2; ++i) {
        xv_log_repeats(&log, {});
        xv_log_append(&log, {"piece "});
    }
    xv_log_close(&log);
    EXPECT_EQ(read_file("run.log"), "Alert: no file\ncall stack\n"
                                    "(the line above repeated 2 times)\n"
                                    "piece piece ");
}

TEST_F(LogTest, ARunStopsAtTheLimitWithANote) {
    for (int i = 0; i < 1000; ++i) {
        line("line " + std::to_string(i));
    }
    EXPECT_TRUE(xv_log_cut(&log));
    xv_log_close(&log);
    const std::string text = read_file("run.log");
    EXPECT_LE(text.size(), 1024u);
    EXPECT_EQ(text.rfind("line 0\nline 1\n", 0), 0u);
    const std::string note = "(the log was cut here: a run writes at most 1024 bytes to it)\n";
    ASSERT_GE(text.size(), note.size());
    EXPECT_EQ(text.substr(text.size() - note.size()), note);
}

TEST_F(LogTest, ACountIsWrittenBeforeTheNoteOfTheCut) {
    line(std::string(700, 'x'));
    for (int i = 0; i < 5; ++i) {
        line(std::string(700, 'x'));
    }
    line(std::string(700, 'y')); // no room: the count, then the cut
    EXPECT_EQ(test::count_occurrences(read_file("run.log"),
                                      "(the line above repeated 5 times)\n(the log was cut here"),
              1);
}

TEST_F(LogTest, TheFirstEntryOfARunEmptiesTheFileAndARestartStartsANewRun) {
    test::write_file("run.log", "the last run\n");
    line("first");
    EXPECT_EQ(read_file("run.log"), "first\n");
    for (int i = 0; i < 1000; ++i) {
        line("line " + std::to_string(i));
    }
    xv_log_restart(&log);
    EXPECT_FALSE(xv_log_cut(&log));
    line("after");
    EXPECT_EQ(read_file("run.log"), "after\n");

    XV_LOG kept = xv_log_make("kept.log", "warning", "\r\n", 1024, false);
    test::write_file("kept.log", "before\r\n");
    xv_log_append(&kept, {"after\r\n"});
    EXPECT_EQ(read_file("kept.log"), "before\r\nafter\r\n");
}

} // namespace
