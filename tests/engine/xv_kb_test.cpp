// Key maps read the keyboard state the input module keeps.
#include "gen_info.h"
#include "test_support.h"
#include "xv_kb.h"

#include <gtest/gtest.h>

namespace {

class KeyMapTest : public test::PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        xv_kb_init(&map);
    }
    XV_KB map{};
};

TEST_F(KeyMapTest, BindingsKeepTheirOrderAndSetReplacesAnAction) {
    xv_kb_add_key(&map, 3, 30, nullptr);
    xv_kb_add_key(&map, 5, 31, nullptr);
    xv_kb_add_key(&map, 3, 32, nullptr);
    xv_kb_add_key(&map, 3, 33, nullptr);
    xv_kb_set_key(&map, 3, 44, nullptr);
    ASSERT_EQ(map.count, 2) << "the three bindings of action 3 gave way to one";
    EXPECT_EQ(map.actions[0], 5);
    EXPECT_EQ(map.keys[0], 31);
    EXPECT_EQ(map.actions[1], 3) << "at the end";
    EXPECT_EQ(map.keys[1], 44);
    map.values[3] = 1;
    xv_kb_remove_key(&map, 3);
    ASSERT_EQ(map.count, 1) << "a removed action has no key";
    EXPECT_EQ(map.actions[0], 5);
    EXPECT_EQ(map.values[3], 0) << "and reads as released";
}

TEST_F(KeyMapTest, AnActionTakesTheLargestKeyOverItsThreshold) {
    const int high = 0x81;
    xv_kb_add_key(&map, 0, 30, nullptr);
    xv_kb_add_key(&map, 1, 31, &high);
    xv_kb_add_key(&map, 0, 32, nullptr);
    xv_input_set_key(30, 0x80);
    xv_input_set_key(31, 0x80);
    xv_kb_update(&map);
    EXPECT_EQ(xv_kb_get_key(&map, 0), 0x80) << "a null threshold is 0";
    EXPECT_EQ(xv_kb_get_key(&map, 1), 0) << "below its threshold";
    xv_input_set_key(30, 0);
    xv_kb_update(&map);
    EXPECT_EQ(xv_kb_get_key(&map, 0), 0) << "recomputed from nothing";
    xv_input_set_key(31, 0);
}

TEST_F(KeyMapTest, MisuseIsAnAssertionNamingTheCaller) {
    gen_info_init();
    xv_kb_add_key(&map, 30, 1, nullptr);
    EXPECT_EQ(map.count, 0);
    XV_KB unused{};
    EXPECT_EQ(xv_kb_get_key(&unused, 0), 0);
    xv_kb_set_key(nullptr, 0, 1, nullptr);
    const std::string errors = test::read_file("error.txt");
    EXPECT_NE(errors.find("xv_kb_add_key: index out of range (min 0 max 30)"), std::string::npos);
    EXPECT_NE(errors.find("xv_kb_get_key: controller not inited"), std::string::npos);
    EXPECT_NE(errors.find("xv_kb_set_key: controller cant be a NULL pointer"), std::string::npos);
    gen_info_deinit();
}

} // namespace
