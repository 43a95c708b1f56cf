// One running copy: the first claim holds the name until the process ends;
// another process's claim of the same name is refused.
#include "os_instance.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

// The other copy is a fresh run of this program (not a fork of it, which
// would share what this one holds): it runs the test from its start, and
// finds the name this copy chose in its environment, under the test's own
// variable (a program that runs all its tests has set the others').
class OsInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string variable = "OS_INSTANCE_TEST_NAME_" + test;
        const char *inherited = getenv(variable.c_str());
        other_copy = inherited != nullptr;
        name = other_copy ? inherited : "os-instance-test-" + std::to_string(getpid()) + "-" + test;
        if (!other_copy) {
#if defined(_WIN32)
            _putenv_s(variable.c_str(), name.c_str());
#else
            setenv(variable.c_str(), name.c_str(), 1);
#endif
        }
    }

    bool other_copy = false;
    std::string name;
};

TEST_F(OsInstanceTest, TheFirstClaimHoldsTheNameAndASecondIsRefused) {
    if (!other_copy) {
        ASSERT_TRUE(os_instance_claim(name.c_str()));
        EXPECT_TRUE(os_instance_claim(name.c_str())) << "this copy holds it already";
    }
    // The other copy hears that the name is taken, and asks this one forward.
    EXPECT_EXIT(std::exit(os_instance_claim(name.c_str()) ? 1 : 0), ::testing::ExitedWithCode(0),
                "");
    // Its request is answered, with no window to raise.
    os_instance_serve();
}

TEST_F(OsInstanceTest, ANameNobodyHoldsIsTheFirstClaimsInAnotherCopy) {
    EXPECT_EXIT(std::exit(os_instance_claim(name.c_str()) ? 0 : 1), ::testing::ExitedWithCode(0),
                "");
}

} // namespace
