// The automation engine's parts that need no server: the system's words
// for an HRESULT, UTF-8 and UTF-16 at the boundary, and an engine that
// cannot be created.
#include "engine/automation/automation_engine.h"
#include "engine/automation/wide_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kalvero {
namespace {

using automation::SystemText;
using automation::Utf8FromWide;
using automation::WideFromUtf8;

struct TextCase {
    HRESULT hr;
    const char* expected;
};

class SystemTextOf : public ::testing::TestWithParam<TextCase> {};

// Win32 errors wrapped in an HRESULT are found by their own number; a code
// without a text (Wine has none for COM's own codes) is given alone.
TEST_P(SystemTextOf, GivesTheSystemsWordsAndTheCode) {
    EXPECT_EQ(SystemText(GetParam().hr), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SystemTextOf,
    ::testing::Values(TextCase{E_ACCESSDENIED, "Access denied. (0x80070005)"},
                      TextCase{HRESULT_FROM_WIN32(ERROR_DISK_FULL), "Disk full. (0x80070070)"},
                      TextCase{HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
                               "RPC server unavailable. (0x800706BA)"},
                      TextCase{CO_E_CLASSSTRING, "0x800401F3"},
                      TextCase{static_cast<HRESULT>(0x8FFF1234), "0x8FFF1234"}));

TEST(WideText, KeepsNonAsciiNamesAndRefusesWhatIsNotUtf8) {
    const std::string name = "C:\\Daten\\Größe 日本.sps";
    EXPECT_EQ(WideFromUtf8(name), L"C:\\Daten\\Gr\u00f6\u00dfe \u65e5\u672c.sps");
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(name)), name);
    EXPECT_THROW(WideFromUtf8("C:\\a\xff.sps"), std::invalid_argument);
}

TEST(AutomationEngineFactory, NamesTheProgIdAndTheReasonWhenNoEngineCanBeCreated) {
    AutomationEngineFactory factory;
    try {
        factory.CreateObject("KALVERO.NoSuchPackage");
        FAIL() << "an engine was created";
    } catch (const EngineError& failure) {
        EXPECT_STREQ(failure.what(), "Cannot create the statistics engine KALVERO.NoSuchPackage: "
                                     "no program is registered under that name; 0x800401F3");
    }
}

} // namespace
} // namespace kalvero
