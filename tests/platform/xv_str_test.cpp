#include "test_support.h"

#include <cstring>

namespace {

using StrTest = test::PlatformTest;

TEST_F(StrTest, CreateCopiesUpToTheCapacityAndZeroesTheRest) {
    char *name = nullptr;
    ASSERT_EQ(xv_str_create(&name, "Object", 9), 1);
    EXPECT_STREQ(name, "Object");
    EXPECT_EQ(name[9], '\0');
    memcpy(name + 6, "042", 3); // callers number their names in place
    EXPECT_STREQ(name, "Object042");
    xv_str_destroy(name);

    ASSERT_EQ(xv_str_create(&name, "Pinwheel", 3), 1);
    EXPECT_STREQ(name, "Pin");
    xv_str_destroy(name);

    ASSERT_EQ(xv_str_create(&name, "hole", 0), 1); // strlen + 1
    EXPECT_STREQ(name, "hole");
    EXPECT_EQ(xv_str_length(name), 4);
    xv_str_destroy(name);

    ASSERT_EQ(xv_str_create(&name, nullptr, 4), 1);
    EXPECT_STREQ(name, "");
    xv_str_destroy(name);
}

TEST_F(StrTest, CreateRefusesWhatCannotBeMade) {
    char *name = reinterpret_cast<char *>(1);
    EXPECT_EQ(xv_str_create(&name, nullptr, 0), 0);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(warnings(), "");
    EXPECT_EQ(xv_str_create(&name, "x", -1), 0);
    EXPECT_NE(warnings().find("In module String \n\n String too big"), std::string::npos);
}

TEST_F(StrTest, StringsAreTrackedBlocks) {
    long before = xv_mem_used();
    char *name = nullptr;
    xv_str_create(&name, "flag", 0);
    EXPECT_GE(xv_mem_used() - before, 6 + 12);
    EXPECT_NE(xv_mem_get_name(name), nullptr);
    EXPECT_EQ(xv_str_destroy(name), 1);
    EXPECT_EQ(xv_mem_used(), before);
    EXPECT_EQ(xv_str_destroy(nullptr), 0);
    EXPECT_NE(warnings().find("Trying to destroy a null string"), std::string::npos);
}

TEST_F(StrTest, CopyFitsIntoTheCurrentLengthOnly) {
    char *four = nullptr;
    char *five = nullptr;
    xv_str_create(&four, "abcd", 0);
    xv_str_create(&five, "abcde", 0);
    EXPECT_EQ(xv_str_copy(four, "hello"), 0);
    EXPECT_STREQ(four, "abcd");
    EXPECT_NE(warnings().find("String too big"), std::string::npos);
    EXPECT_EQ(xv_str_copy(five, "hello"), 1);
    EXPECT_STREQ(five, "hello");
    EXPECT_EQ(xv_str_copy(five, "hi"), 1);
    EXPECT_STREQ(five, "hi");
    xv_str_destroy(four);
    xv_str_destroy(five);
}

TEST_F(StrTest, TrimRemovesSpacesOnly) {
    char text[32];
    strcpy(text, "  par 3  ");
    xv_str_trim(text);
    EXPECT_STREQ(text, "par 3");
    strcpy(text, "     ");
    xv_str_trim(text);
    EXPECT_STREQ(text, "");
    strcpy(text, "");
    xv_str_trim(text);
    EXPECT_STREQ(text, "");
    strcpy(text, "\tgo\t ");
    xv_str_trim(text);
    EXPECT_STREQ(text, "\tgo\t");
}

TEST_F(StrTest, NullStringsAreReported) {
    xv_str_trim(nullptr);
    EXPECT_EQ(xv_str_length(nullptr), 0);
    EXPECT_EQ(xv_str_copy(nullptr, "a"), 0);
    EXPECT_EQ(test::warnings_holding(warnings(),
                                     "Passed a NULL string to string function.  Shame on you."),
              3);
}

TEST(StrFormat, FormatsAnyLength) {
    EXPECT_EQ(xv_str_format("%s-%03d", "hole", 7), "hole-007");
    EXPECT_EQ(xv_str_format("%s", std::string(5000, 'x').c_str()).size(), 5000u);
    EXPECT_EQ(xv_str_format("%s", ""), "");
}

} // namespace

TEST(StrOption, FindsTheWordAfterItsOption) {
    char program[] = "pinwheel", hole[] = "--hole", three[] = "3", play[] = "--play";
    char *line[] = {program, hole, three, play};
    EXPECT_STREQ(xv_str_option(4, line, "--hole"), "3");
    EXPECT_EQ(xv_str_option(4, line, "--play"), nullptr); // ends the line: no word
    EXPECT_EQ(xv_str_option(4, line, "--view"), nullptr);
    EXPECT_EQ(xv_str_option(1, line, "pinwheel"), nullptr); // the program's name is no option
}
