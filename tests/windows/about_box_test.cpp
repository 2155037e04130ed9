#include "windows/about/about_box.h"

#include "system/no_registry.h"
#include "tests/support/system_fakes.h"
#include "windows/common/twips.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace kalvero {
namespace {

using test::FakeKey;
using test::FakeSystemServices;
using test::FakeValue;

const std::string kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::string kUnavailable = "Systeminformationen sind momentan nicht verfügbar";

std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}
std::vector<unsigned char> StringZ(const std::string& text) {
    std::vector<unsigned char> bytes = Bytes(text);
    bytes.push_back(0);
    return bytes;
}

int CountAboutBoxes() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<AboutBox*>(widget) && widget->isVisible())
            ++count;
    return count;
}

class AboutBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        frmAbout.Unload();
        // Windows closed with WA_DeleteOnClose are deleted later.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    FakeSystemServices services;
};

TEST_F(AboutBoxTest, LoadStepSetsCaptionTitleAndBuildVersion) {
    AboutBox& box = frmAbout.Load();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Information about SPSS_KALVERO "));
    EXPECT_EQ(box.lblTitle->text(), QStringLiteral("SPSS_KALVERO"));
    // The label follows the project version of the build, not a copy of it.
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version " KALVERO_EXPECTED_VERSION));
    EXPECT_EQ(box.lblDisclaimer->text().size(), 114);
    EXPECT_TRUE(
        box.lblDisclaimer->text().startsWith(QStringLiteral("Warning : Tested on Windows 98 .")));
    EXPECT_TRUE(box.lblDisclaimer->text().endsWith(
        QStringLiteral(" It should run also an other Microsoft 32 Bit System")));
    EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("&Systeminfo..."));
    EXPECT_TRUE(box.cmdOK->isDefault());
}

TEST_F(AboutBoxTest, FixedDialogAtItsStoredPlace) {
    OpenAboutBox();
    AboutBox& box = *frmAbout.Loaded();
    const QRect expected = TwipsRect(2340, 1935, 5730, 3555);
    EXPECT_EQ(box.geometry(), expected);
    // Not resizable.
    EXPECT_EQ(box.minimumSize(), expected.size());
    EXPECT_EQ(box.maximumSize(), expected.size());
    EXPECT_FALSE(box.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(box.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    // The etched line: grey over white, one and two pixels thick.
    ASSERT_NE(box.findChild<QWidget*>(QStringLiteral("Line1_0")), nullptr);
    EXPECT_EQ(box.Line1[1]->height(), 1);
    EXPECT_EQ(box.Line1[0]->height(), 2);
    EXPECT_LT(box.Line1[1]->y(), box.Line1[0]->y());
}

TEST_F(AboutBoxTest, OpeningTwiceGivesOneBox) {
    OpenAboutBox();
    AboutBox* first = frmAbout.Loaded();
    OpenAboutBox();
    EXPECT_EQ(frmAbout.Loaded(), first);
    EXPECT_EQ(CountAboutBoxes(), 1);
}

// Escape, Enter, the OK button and the close box all unload the box, so the
// next Open loads a fresh one instead of handing out a closed one.
class AboutBoxCloseTest : public AboutBoxTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AboutBoxCloseTest, ClosesAndUnloads) {
    OpenAboutBox();
    QPointer<AboutBox> box = frmAbout.Loaded();
    ASSERT_TRUE(box);
    const std::string how = GetParam();
    if (how == "Escape")
        QTest::keyClick(box.data(), Qt::Key_Escape);
    else if (how == "Enter")
        QTest::keyClick(box.data(), Qt::Key_Return);
    else if (how == "OK")
        box->cmdOK->click();
    else
        box->close();
    EXPECT_FALSE(frmAbout.IsLoaded());
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 2000);
    EXPECT_EQ(CountAboutBoxes(), 0);
    EXPECT_TRUE(services.messages.texts.empty());
    OpenAboutBox();
    EXPECT_TRUE(frmAbout.IsLoaded());
    EXPECT_EQ(CountAboutBoxes(), 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, AboutBoxCloseTest,
                         ::testing::Values("Escape", "Enter", "OK", "CloseBox"));

TEST_F(AboutBoxTest, SysInfoButtonStartsANewToolEachTime) {
    services.registry.keys[kMsinfoKey].values["PATH"] = {1, StringZ("C:\\Tools\\MSINFO32.EXE")};
    OpenAboutBox();
    frmAbout.Loaded()->cmdSysInfo->click();
    frmAbout.Loaded()->cmdSysInfo->click();
    EXPECT_EQ(services.launcher.started,
              (std::vector<std::string>{"C:\\Tools\\MSINFO32.EXE", "C:\\Tools\\MSINFO32.EXE"}));
    EXPECT_TRUE(frmAbout.IsLoaded());
}

// Without a registry the button can only end in its message.
TEST_F(AboutBoxTest, WithoutRegistrySysInfoShowsTheMessage) {
    NoRegistry noRegistry;
    Services().registry = &noRegistry;
    OpenAboutBox();
    frmAbout.Loaded()->cmdSysInfo->click();
    EXPECT_TRUE(services.launcher.started.empty());
    EXPECT_EQ(services.messages.texts, std::vector<std::string>{kUnavailable});
}

// GetKeyValue over the registry's results.
struct KeyValueCase {
    const char* name;
    std::optional<FakeValue> value; // none: the value is absent
    long openResult;
    bool result;
    std::string keyVal; // "before" where it stays as it was
};

void PrintTo(const KeyValueCase& c, std::ostream* os) {
    *os << c.name;
}

class GetKeyValueTest : public AboutBoxTest, public ::testing::WithParamInterface<KeyValueCase> {};

TEST_P(GetKeyValueTest, ReadsValueAsText) {
    const KeyValueCase& c = GetParam();
    FakeKey& key = services.registry.keys["SOFTWARE\\Test"];
    key.openResult = c.openResult;
    if (c.value)
        key.values["Value"] = *c.value;

    AboutBox& box = frmAbout.Load();
    std::string keyVal = "before";
    const std::int32_t root = kHkeyLocalMachine;
    EXPECT_EQ(box.GetKeyValue(root, "SOFTWARE\\Test", "Value", keyVal), c.result);
    EXPECT_EQ(keyVal, c.keyVal);

    ASSERT_EQ(services.registry.opens.size(), 1u);
    const auto& open = services.registry.opens[0];
    EXPECT_EQ(open.root, static_cast<std::int32_t>(0x80000002u));
    EXPECT_EQ(open.options, 0u);
    EXPECT_EQ(open.access, 0x2003Fu);
    if (c.openResult == 0) {
        ASSERT_EQ(services.registry.queries.size(), 1u);
        const auto& query = services.registry.queries[0];
        EXPECT_EQ(query.bufferSize, 1024u);
        EXPECT_EQ(query.sizeGiven, 1024u);
        EXPECT_TRUE(query.bufferZeroed);
    }
    // An opened key is closed once, whatever the outcome; a failed open
    // leaves nothing to close.
    EXPECT_EQ(services.registry.openKeys, 0);
    EXPECT_EQ(services.registry.closes.size(), c.openResult == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValueTest,
    ::testing::Values(
        KeyValueCase{"StringLosesClosingZero", FakeValue{1, StringZ("C:\\Tools")}, 0, true,
                     "C:\\Tools"},
        KeyValueCase{"StringWithoutZeroStaysWhole", FakeValue{1, Bytes("C:\\Tools")}, 0, true,
                     "C:\\Tools"},
        KeyValueCase{"OnlyTheLastZeroIsDropped", FakeValue{1, Bytes(std::string("ab\0\0", 4))}, 0,
                     true, std::string("ab\0", 3)},
        KeyValueCase{"DwordReadFromMostSignificantByte", FakeValue{4, {4, 3, 2, 1}}, 0, true,
                     "16909060"},
        KeyValueCase{"DwordLosesZeroLastByte", FakeValue{4, {5, 0, 0, 0}}, 0, true, "5"},
        KeyValueCase{"DwordIsUnsigned", FakeValue{4, {0xFF, 0xFF, 0xFF, 0xFF}}, 0, true,
                     "4294967295"},
        KeyValueCase{"OtherTypeLeavesKeyValAndCountsAsRead", FakeValue{3, {1, 2, 3}}, 0, true,
                     "before"},
        KeyValueCase{"AbsentValueFails", std::nullopt, 0, false, ""},
        KeyValueCase{"FailedReadFails", FakeValue{1, StringZ("x"), 5}, 0, false, ""},
        KeyValueCase{"ValueBeyondBufferFails", FakeValue{1, std::vector<unsigned char>(1025, 'x')},
                     0, false, ""},
        KeyValueCase{"KeyWithoutRequestedAccessFails", FakeValue{1, StringZ("x")}, 5, false, ""}),
    [](const ::testing::TestParamInfo<KeyValueCase>& info) { return info.param.name; });

TEST_F(AboutBoxTest, ZeroSizeValueThrowsAndClosesTheKey) {
    services.registry.keys["SOFTWARE\\Test"].values["Value"] = {1, {}};
    AboutBox& box = frmAbout.Load();
    std::string keyVal = "before";
    EXPECT_THROW(box.GetKeyValue(kHkeyLocalMachine, "SOFTWARE\\Test", "Value", keyVal),
                 std::runtime_error);
    EXPECT_EQ(services.registry.openKeys, 0);
}

// StartSysInfo over the registry's and the launcher's outcomes.
struct SysInfoCase {
    const char* name;
    std::optional<FakeValue> path;     // SOFTWARE\Microsoft\Shared Tools\MSINFO, PATH
    std::optional<FakeValue> location; // SOFTWARE\Microsoft\Shared Tools Location, MSINFO
    std::vector<std::string> files;
    bool failStart;
    std::vector<std::string> started;
    bool message;
    bool secondKeyRead;
    long openResult = 0; // both keys refuse to open with this result
};

void PrintTo(const SysInfoCase& c, std::ostream* os) {
    *os << c.name;
}

class StartSysInfoTest : public AboutBoxTest, public ::testing::WithParamInterface<SysInfoCase> {};

TEST_P(StartSysInfoTest, StartsToolOrShowsMessage) {
    const SysInfoCase& c = GetParam();
    if (c.path)
        services.registry.keys[kMsinfoKey].values["PATH"] = *c.path;
    if (c.location)
        services.registry.keys[kLocationKey].values["MSINFO"] = *c.location;
    if (c.openResult != 0) {
        services.registry.keys[kMsinfoKey].openResult = c.openResult;
        services.registry.keys[kLocationKey].openResult = c.openResult;
    }
    services.launcher.files = c.files;
    services.launcher.failStart = c.failStart;

    frmAbout.Load().StartSysInfo();

    EXPECT_EQ(services.launcher.started, c.started);
    EXPECT_EQ(services.messages.texts,
              c.message ? std::vector<std::string>{kUnavailable} : std::vector<std::string>{});
    const std::vector<std::string> opened = services.registry.OpenedSubKeys();
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened[0], kMsinfoKey);
    EXPECT_EQ(opened.size(), c.secondKeyRead ? 2u : 1u);
    EXPECT_EQ(services.registry.openKeys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSysInfoTest,
    ::testing::Values(
        SysInfoCase{"FirstValueStartedWithoutFileCheck",
                    FakeValue{1, StringZ("C:\\Tools\\MSINFO32.EXE")},
                    FakeValue{1, StringZ("C:\\Other")},
                    {},
                    false,
                    {"C:\\Tools\\MSINFO32.EXE"},
                    false,
                    false},
        SysInfoCase{"FailedStartFromFirstValueShowsMessage",
                    FakeValue{1, StringZ("C:\\Gone\\MSINFO32.EXE")},
                    FakeValue{1, StringZ("C:\\Other")},
                    {"C:\\Other\\MSINFO32.EXE"},
                    true,
                    {"C:\\Gone\\MSINFO32.EXE"},
                    true,
                    false},
        SysInfoCase{"SecondKeyWithFileStartsProgramInIt",
                    std::nullopt,
                    FakeValue{1, StringZ("C:\\Program Files\\Common Files\\MSInfo")},
                    {"C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE"},
                    false,
                    {"C:\\Program Files\\Common Files\\MSInfo\\MSINFO32.EXE"},
                    false,
                    true},
        SysInfoCase{"SecondKeyWithoutFileStartsNothing",
                    std::nullopt,
                    FakeValue{1, StringZ("C:\\Empty")},
                    {},
                    false,
                    {},
                    true,
                    true},
        SysInfoCase{
            "NeitherKeyStartsNothing", std::nullopt, std::nullopt, {}, false, {}, true, true},
        SysInfoCase{"FirstValueOfOtherTypeCountsAsFound",
                    FakeValue{3, {1, 2}},
                    FakeValue{1, StringZ("C:\\Other")},
                    {"C:\\Other\\MSINFO32.EXE"},
                    false,
                    {""},
                    true,
                    false},
        SysInfoCase{"ZeroSizeFirstValueShowsMessageAtOnce",
                    FakeValue{1, {}},
                    FakeValue{1, StringZ("C:\\Other")},
                    {"C:\\Other\\MSINFO32.EXE"},
                    false,
                    {},
                    true,
                    false},
        SysInfoCase{"KeysWithoutRequestedAccessShowMessage",
                    FakeValue{1, StringZ("C:\\Tools\\MSINFO32.EXE")},
                    FakeValue{1, StringZ("C:\\Other")},
                    {"C:\\Other\\MSINFO32.EXE"},
                    false,
                    {},
                    true,
                    true,
                    5}),
    [](const ::testing::TestParamInfo<SysInfoCase>& info) { return info.param.name; });

} // namespace
} // namespace kalvero
