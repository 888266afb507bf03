// Test entry point: assertion messages of the library are collected instead of
// printed, so expected assertion failures keep the output readable.
#include "zvTestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
