// The Windows file system at its seam (batch/file_system.h): identities
// through any spelling, absolute names, names without case, list files and
// logs read whole with the system's reasons, and a log appended to by
// several writers at once.
#include "batch/batch_plan.h"
#include "system/windows/wide_text.h"
#include "system/windows/windows_file_system.h"
#include "tests/windows_target/wine_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace kalvero {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using windows_testing::TestFolder;

TEST(Identity, TheSameFileUnderEverySpellingAndNothingForNoFile) {
    TestFolder folder;
    WindowsFileSystem files;
    const std::string file = folder.Write("Größe 1.sps", "LIST.\n");
    folder.Write("other.sps", "LIST.\n");
    CreateDirectoryW(WideFromUtf8(folder.Path("sub")).c_str(), nullptr);
    const auto id = files.Identity(file);
    ASSERT_TRUE(id);
    for (const std::string& spelling :
         {folder.Path("GRÖßE 1.SPS"), folder.Path("sub\\..\\Größe 1.sps"),
          folder.Path("sub/../größe 1.sps")})
        EXPECT_EQ(files.Identity(spelling), id) << spelling;
    EXPECT_FALSE(files.Identity(folder.Path("other.sps")) == id);
    EXPECT_TRUE(files.Identity(folder.Path("sub")));
    EXPECT_FALSE(files.Identity(folder.Path("none.sps")));
    EXPECT_FALSE(files.Identity(folder.Path("") + "a\xff.sps"));
    EXPECT_FALSE(files.Identity(""));
}

TEST(AbsolutePath, AsWindowsReadsANameAgainstTheCurrentFolderAndDrive) {
    TestFolder folder;
    WindowsFileSystem files;
    const testing::WorkingDirectory inside(folder.Path(""));
    const std::string here = folder.Path("");
    EXPECT_EQ(files.AbsolutePath("a b.sps"), here + "a b.sps");
    EXPECT_EQ(files.AbsolutePath("sub\\x.sps"), here + "sub\\x.sps");
    EXPECT_EQ(files.AbsolutePath("C:\\data\\wave1.sps"), "C:\\data\\wave1.sps");
    EXPECT_EQ(files.AbsolutePath("\\data\\wave1.sps"), here.substr(0, 2) + "\\data\\wave1.sps");
    EXPECT_THROW(files.AbsolutePath("a\xff.sps"), std::runtime_error);
    for (const char* absolute : {"C:\\x", "c:/x", "\\\\server\\share\\x", "//server/share/x"})
        EXPECT_TRUE(files.IsAbsolute(absolute)) << absolute;
    for (const char* relative : {"x", "\\x", "/x", "C:x", "", "1:\\x"})
        EXPECT_FALSE(files.IsAbsolute(relative)) << relative;
}

// Windows does not tell names apart by case: two outputs that differ only
// in it are one file, also before either is written.
TEST(NameKey, OutputsDifferingOnlyInCaseAreOneFile) {
    TestFolder folder;
    WindowsFileSystem files;
    EXPECT_EQ(files.NameKey("Größe.SPO"), files.NameKey("größe.spo"));
    EXPECT_NE(files.NameKey("a.spo"), files.NameKey("b.spo"));
    const std::vector<std::string> entries = {folder.Write("x.sps", "LIST.\n"),
                                              folder.Write("X.SPS2", "LIST.\n")};
    const Plan plan =
        MakePlan(entries, InputMode::SyntaxFiles, OutputFormat::Text, PlanRules(), files);
    ASSERT_EQ(plan.jobs.size(), 2u);
    EXPECT_EQ(plan.jobs[0].refusal, "");
    EXPECT_THAT(plan.jobs[1].refusal, HasSubstr("would replace the output written in this run"));
}

struct ListFileCase {
    const char* label;
    std::string name; // in the test's folder; "" the folder itself; "NUL" the device
    // After "Cannot open the list file NAME: ": the system's text for an
    // error, or the words of the program's own.
    DWORD error;
    const char* words;
};

class ListFile : public ::testing::TestWithParam<ListFileCase> {};

// What cannot be read as a list file is refused at once, with the system's
// reason; a device would never end.
TEST_P(ListFile, IsRefusedNamingTheFileAndWhy) {
    TestFolder folder;
    WindowsFileSystem files;
    const ListFileCase& c = GetParam();
    const std::string path = c.name == "NUL" ? c.name : folder.Path("") + c.name;
    try {
        files.ReadListFile(path);
        FAIL() << "read " << path;
    } catch (const std::runtime_error& failure) {
        const std::string reason = c.error ? Win32Reason(c.error) : c.words;
        EXPECT_EQ(failure.what(), "Cannot open the list file " + path + ": " + reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ListFile,
    ::testing::Values(ListFileCase{"Missing", "none.lst", ERROR_FILE_NOT_FOUND, ""},
                      ListFileCase{"MissingFolder", "none\\a.lst", ERROR_PATH_NOT_FOUND, ""},
                      ListFileCase{"Folder", "", 0, "it is a folder"},
                      ListFileCase{"Device", "NUL", 0, "it is not a regular file"},
                      ListFileCase{"NotUtf8", "a\xff.lst", 0, "the name is not UTF-8 text"}),
    [](const ::testing::TestParamInfo<ListFileCase>& info) { return info.param.label; });

TEST(ReadFiles, ListFilesAndLogsAreReadWholeAndByteForByte) {
    TestFolder folder;
    WindowsFileSystem files;
    const std::string bytes("* list\r\nC:\\a b\\ü.sps\r\n\0\xff", 25);
    const std::string list = folder.Write("jobs.lst", bytes);
    EXPECT_EQ(files.ReadListFile(list), bytes);
    EXPECT_EQ(files.ReadWholeFile(list), bytes);
    EXPECT_THROW(files.ReadWholeFile(folder.Path("none.log")), std::runtime_error);
}

// Several writers at once (two runs sharing a log): every line whole, the
// header once; a log that ends in a cut line gets a line end first.
TEST(AppendFile, WritersAtOnceEachAppendWholeLinesUnderTheLock) {
    TestFolder folder;
    WindowsFileSystem files;
    const std::string log = folder.Path("run.log");
    constexpr int kLines = 200;
    auto writer = [&](char mark) {
        const std::unique_ptr<AppendFile> file = files.OpenForAppend(log, "the run log");
        for (int i = 0; i < kLines; ++i)
            file->AppendLines(std::string(100, mark) + "\n", "#header\n");
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();
    std::istringstream lines(files.ReadWholeFile(log));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "#header");
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        EXPECT_TRUE(line == std::string(100, 'a') || line == std::string(100, 'b')) << line;
    }
    EXPECT_EQ(count, 2 * kLines);

    const std::string cut = folder.Write("cut.log", "#header\nhalf a li");
    files.OpenForAppend(cut, "the run log")->AppendLines("whole\n", "#header\n");
    EXPECT_EQ(files.ReadWholeFile(cut), "#header\nhalf a li\nwhole\n");
    EXPECT_THAT([&] { files.OpenForAppend(folder.Path(""), "the run log"); },
                ::testing::ThrowsMessage<std::runtime_error>(
                    StartsWith("Cannot open the run log " + folder.Path("") + ": ")));
}

// Links are followed where an output would be written. Wine makes no
// symbolic links of Windows's kind; Windows itself does.
TEST(LinkTarget, ASymbolicLinkIsReadAsWrittenAndAFileIsNoLink) {
    TestFolder folder;
    WindowsFileSystem files;
    const std::string file = folder.Write("b.txt", "x");
    EXPECT_FALSE(files.LinkTarget(file));
    const std::string link = folder.Path("a.txt");
    CreateSymbolicLinkW(WideFromUtf8(link).c_str(), L"b.txt",
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!(GetFileAttributesW(WideFromUtf8(link).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        GetFileAttributesW(WideFromUtf8(link).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this system makes no symbolic links (Wine makes none)";
    EXPECT_EQ(files.LinkTarget(link), "b.txt");
    EXPECT_EQ(files.Identity(link), files.Identity(file));
}

} // namespace
} // namespace kalvero
