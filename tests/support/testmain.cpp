// Test main: gives the process a workstation of its own, then runs the tests.
#include <gtest/gtest.h>

#include "testenv.h"

int main(int argc, char** argv) {
    qrdtest::prepareAndReexec(argc, argv);
    qrdtest::adoptWorkstation();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
