// Without a QCoreApplication there is no event loop to wait in: the engine
// must still run a syntax file to its end by waiting for pspp directly.
#include "engine/pspp_engine.h"
#include "tests/support/pspp_test_support.h"

#include <QCoreApplication>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kalvero {
namespace {

TEST(PsppEngineWithoutApplication, RunsASyntaxFileToItsEnd) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    testing::EngineTestFolder folder;
    const std::string syntax = testing::WriteFile(
        folder.Path("t.sps"), "DATA LIST LIST /x.\nBEGIN DATA\n4\n6\nEND DATA.\nDESCRIPTIVES x.\n");
    PsppEngineFactory factory;
    auto engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(0);
    engine->RunSyntaxFile(syntax, true);
    engine->CurrentViewerDocument()->ExportText(1, folder.Path("t.txt"), 1, 0);
    engine->QuitEngine();
    EXPECT_THAT(testing::ReadFile(folder.Path("t.txt")), ::testing::HasSubstr("5.00"));
    EXPECT_THAT(folder.LeftInTemporary(), ::testing::IsEmpty());
}

} // namespace
} // namespace kalvero
