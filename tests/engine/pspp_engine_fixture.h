// What the tests of the PSPP engine share: syntax files that make tables,
// charts, errors or run for minutes, and a fixture whose tear-down checks
// that nothing of the engine is left and no pspp still runs.
#pragma once

#include "engine/pspp_engine.h"
#include "tests/support/pspp_test_support.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvero::testing {

inline constexpr const char* kTableSyntax = "DATA LIST LIST /x y.\n"
                                            "BEGIN DATA\n"
                                            "1 2\n"
                                            "3 4\n"
                                            "5 9\n"
                                            "END DATA.\n"
                                            "DESCRIPTIVES x y.\n";

inline constexpr const char* kChartSyntax = "DATA LIST LIST /x.\n"
                                            "BEGIN DATA\n"
                                            "1\n2\n2\n3\n3\n3\n"
                                            "END DATA.\n"
                                            "FREQUENCIES x /BARCHART.\n";

// Non-ASCII letters, a character beyond the BMP and RTF's special
// characters, all in table cells.
inline constexpr const char* kUnicodeSyntax = "DATA LIST LIST /city (A24) n.\n"
                                              "BEGIN DATA\n"
                                              "\"Z\xC3\xBCrich\" 1\n"
                                              "\"\xE2\x82\xAC-Kurs\" 2\n"
                                              "\"smile \xF0\x9F\x98\x80\" 3\n"
                                              "\"a\\b{c}\" 4\n"
                                              "END DATA.\n"
                                              "LIST.\n";

inline constexpr const char* kErrorSyntax = "DATA LIST LIST /x.\n"
                                            "BEGIN DATA\n"
                                            "1\n2\n"
                                            "END DATA.\n"
                                            "FREQUENCIES nosuchvariable.\n"
                                            "DESCRIPTIVES x.\n";

// Runs for minutes unless it is stopped.
inline constexpr const char* kEndlessSyntax = "DATA LIST LIST /x.\n"
                                              "BEGIN DATA\n"
                                              "1\n"
                                              "END DATA.\n"
                                              "COMPUTE y = 0.\n"
                                              "LOOP #i = 1 TO 2000000000.\n"
                                              "COMPUTE y = y + 1.\n"
                                              "END LOOP.\n"
                                              "EXECUTE.\n";

template <class Action> std::string FailureOf(Action&& action) {
    try {
        action();
    } catch (const EngineError& failure) {
        return failure.what();
    }
    return "<no failure>";
}

inline std::string PsppOutputDir(const std::string& spv) {
    int status = 0;
    const std::string listing = RunProgram("pspp-output", {"dir", spv}, status);
    EXPECT_EQ(status, 0) << listing;
    return listing;
}

// Temporary files an output write may have left beside target.
inline std::vector<std::string> TemporariesBeside(const std::string& folder,
                                                  const std::string& name) {
    std::vector<std::string> found;
    for (const std::string& entry : NamesIn(folder))
        if (entry.rfind("." + name + ".", 0) == 0)
            found.push_back(entry);
    return found;
}

class PsppEngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Every engine of the test has been released by now: nothing of it
        // may remain, and no pspp may still run.
        EXPECT_THAT(folder.LeftInTemporary(), ::testing::IsEmpty());
        EXPECT_TRUE(ChildrenOfThisProcess().empty());
    }

    std::unique_ptr<EngineApplication> Create(std::int32_t kind) {
        std::unique_ptr<EngineApplication> engine = factory.CreateObject(kEngineProgId);
        engine->GetSettings()->SetOutputKind(kind);
        return engine;
    }

    std::string Syntax(const std::string& name, const std::string& text) {
        return WriteFile(folder.Path(name), text);
    }

    EngineTestFolder folder;
    PsppEngineFactory factory;
};

} // namespace kalvero::testing
