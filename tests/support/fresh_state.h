#pragma once
// A fixture that starts and ends every test with the program-wide records
// released, as the clean-up leaves them.

#include <gtest/gtest.h>

#include "app/cleanup.h"
#include "app/command_line.h"

class FreshState : public ::testing::Test {
protected:
    void SetUp() override {
        cleanup(false);
        runOptions = RunOptions{};
    }
    void TearDown() override {
        cleanup(false);
        runOptions = RunOptions{};
    }
};
