// The command line of kalvero-run, read with getopt_long (GNU conventions:
// long and short options, options and entries in any order, "--" ends the
// options). Entries are kept as the bytes they were given.
#pragma once

#include "batch/run_settings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvero {

// Exit statuses, as the man page lists them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;       // a syntax file failed, timed out or was stopped
inline constexpr int kExitUsage = 2;        // the command line, or a log that may not be used
inline constexpr int kExitSyntaxErrors = 3; // all ran, PSPP reported errors inside some
inline constexpr int kExitNoEngine = 4;     // the statistics engine cannot start

// A mistake in the command line: reported with a hint at --help.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The most syntax files that may run at once.
inline constexpr int kMaxJobs = 1024;

struct Options {
    InputMode mode = InputMode::SyntaxFiles;
    std::optional<OutputFormat> format; // none: viewer, or a retried log's own
    bool keepGoing = false;
    int jobs = 1;
    std::chrono::seconds timeout{0}; // 0: none
    std::string log;
    std::string retryFrom;
    bool nulSeparated = false;
    bool count = false;
    bool dryRun = false;
    bool printFiles = false;
    std::optional<long> pick;
    bool help = false;
    bool version = false;
    bool entriesFromInput = false;    // "-" was given
    std::vector<std::string> entries; // as given, "-" left out
};

// Reads argv; throws UsageError.
Options ParseOptions(int argc, char** argv);

// A duration: a whole number of seconds, or with a unit: 90, 90s, 30m, 2h,
// 1d. Throws UsageError naming option.
std::chrono::seconds ParseDuration(const std::string& text, const std::string& option);

// The text of --help.
const char* HelpText();

} // namespace kalvero
