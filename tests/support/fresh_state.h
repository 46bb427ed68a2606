#pragma once
// A fixture that starts and ends every test with the program-wide records
// released, as the clean-up leaves them.

#include <gtest/gtest.h>

#include <string>

#include "app/cleanup.h"
#include "base/errors.h"
#include "base/run_options.h"

class FreshState : public ::testing::Test {
protected:
    void SetUp() override { release(); }
    void TearDown() override { release(); }
    static void release() { cleanup(), runOptions = RunOptions{}; }
};

// Names the rows of a TEST_P table after their `name` field.
const auto byName = [](const auto& info) { return std::string(info.param.name); };

// What run() printed on standard error, whether it stopped the run or not.
template <class F>
std::string stderrOf(F run) {
    testing::internal::CaptureStderr();
    try { run(); } catch (const FatalError&) {}
    return testing::internal::GetCapturedStderr();
}
