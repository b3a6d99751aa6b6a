// Kept apart from test_environment.cpp: it needs GoogleTest, which the libFuzzer builds
// of the fuzz targets do not link.
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kantrel::test {

std::string TestFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "outside-a-test";
    for (char& c : name)
        if (c == '/')
            c = '_';
    const std::string folder = IsolatedEnvironment::Root() + "/" + name;
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace kantrel::test
