#include "tests/cli/kalvero_run_fixture.h"

#include <sstream>
#include <sys/stat.h>

namespace kalvero::testing {

std::vector<std::vector<std::string>> EndedLines(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream log(ReadFile(path));
    for (std::string line; std::getline(log, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields(1);
        for (const char c : line)
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        if (fields.size() > 6 && fields[6] != "planned")
            lines.push_back(fields);
    }
    return lines;
}

std::vector<std::string> Outcomes(const std::string& log) {
    std::vector<std::string> outcomes;
    for (const auto& fields : EndedLines(log))
        outcomes.push_back(fields.at(2).substr(fields.at(2).rfind('/') + 1) + " " + fields.at(6));
    return outcomes;
}

void KalveroRunTest::SetUp() {
    WriteFile(folder_.Path("a.sps"), Tiny(1));
    WriteFile(folder_.Path("b.sps"), Tiny(2));
    WriteFile(folder_.Path("err.sps"), Tiny(3) + "FREQUENCIES nosuch.\n");
    WriteFile(folder_.Path("jobs.lst"), "* the batch\na.sps\n\nb.sps\r\nerr.sps\n");
}

void KalveroRunTest::TearDown() {
    EXPECT_THAT(LeftRunning(folder_.Temporary()), ::testing::IsEmpty());
    EXPECT_THAT(folder_.LeftInTemporary(), ::testing::IsEmpty());
    // Whatever a failed test left running ends here, by id.
    KillMentioning(folder_.Temporary());
    for (const std::string& text : started_)
        KillMentioning(text);
}

void KalveroRunTest::Endless(const std::string& name, int seconds) {
    const std::string fifo = folder_.Path(name + ".fifo");
    if (!Exists(fifo))
        ::mkfifo(fifo.c_str(), 0600);
    std::string syntax;
    if (seconds > 0) {
        syntax = "HOST COMMAND=['sleep " + std::to_string(seconds) + " &'].\n";
        started_.push_back("sleep " + std::to_string(seconds));
    }
    WriteFile(folder_.Path(name), syntax + "DATA LIST FILE='" + name + ".fifo' /x 1.\nLIST.\n");
}

Command KalveroRunTest::CommandOf(std::vector<std::string> arguments) const {
    Command command;
    command.program = KALVERO_RUN;
    command.arguments = std::move(arguments);
    command.folder = folder_.Files();
    return command;
}

CommandResult KalveroRunTest::Run(std::vector<std::string> arguments, std::string input) {
    Command command = CommandOf(std::move(arguments));
    command.input = std::move(input);
    return RunCommand(command);
}

} // namespace kalvero::testing
