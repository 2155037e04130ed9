// What the tests of kalvero-run share: the real program and the real pspp on
// real files in a private folder, syntax files that never end, and the run
// log read back. Each test ends every process it started, by id, even when
// it fails.
#pragma once

#include "tests/support/pspp_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvero::testing {

inline std::string Tiny(int value) {
    return "DATA LIST LIST /x.\nBEGIN DATA\n" + std::to_string(value) +
           "\nEND DATA.\nDESCRIPTIVES x.\n";
}

// The log's lines that record an end (no header, no planned lines), each
// split into its fields.
std::vector<std::vector<std::string>> EndedLines(const std::string& path);
// "name outcome" for each ended line.
std::vector<std::string> Outcomes(const std::string& log);

class KalveroRunTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A syntax file that never ends: it waits for data from a FIFO nobody
    // opens, after starting "sleep seconds" in the background when seconds
    // is not 0 (a number of its own for each test, since tests run side by
    // side). What it starts is ended at the end of the test.
    void Endless(const std::string& name, int seconds);

    CommandResult Run(std::vector<std::string> arguments, std::string input = {});
    Command CommandOf(std::vector<std::string> arguments) const;

    EngineTestFolder folder_;
    std::vector<std::string> started_;
};

} // namespace kalvero::testing
