#include <gtest/gtest.h>

#include "support/test_environment.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    kantrel::test::IsolatedEnvironment environment;
    return RUN_ALL_TESTS();
}
