#include "cli/options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kalvero {
namespace {

enum LongOnly { kLog = 256, kRetry, kCount, kPick, kPrintFiles };

const option kLongOptions[] = {
    {"lists", no_argument, nullptr, 'l'},
    {"format", required_argument, nullptr, 'f'},
    {"null", no_argument, nullptr, '0'},
    {"keep-going", no_argument, nullptr, 'k'},
    {"timeout", required_argument, nullptr, 't'},
    {"jobs", required_argument, nullptr, 'j'},
    {"log", required_argument, nullptr, kLog},
    {"retry-failed", required_argument, nullptr, kRetry},
    {"count", no_argument, nullptr, kCount},
    {"pick", required_argument, nullptr, kPick},
    {"dry-run", no_argument, nullptr, 'n'},
    {"print-files", no_argument, nullptr, kPrintFiles},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

// A whole number from min to max, or a usage error naming option. Long
// long: a long has 32 bits on Windows, too few for 100 years in seconds.
long long WholeNumber(const std::string& text, const std::string& option, long long min,
                      long long max) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max)
        throw UsageError(option + " " + text + ": a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max) + " is needed");
    return value;
}

OutputFormat FormatNamed(const std::string& name) {
    if (name == "viewer")
        return OutputFormat::Viewer;
    if (name == "draft")
        return OutputFormat::Draft;
    if (name == "text")
        return OutputFormat::Text;
    throw UsageError("--format " + name + ": the formats are viewer, draft and text");
}

// The option getopt could not take, as the user wrote it, without dashes.
std::string OptionWritten(char** argv, int index, int shortOption) {
    std::string written = argv[index];
    if (written.rfind("--", 0) != 0)
        return std::string(1, static_cast<char>(shortOption));
    written.erase(0, 2);
    return written.substr(0, written.find('='));
}

void Take(Options& options, int option, const std::string& value) {
    switch (option) {
    case 'l':
        options.mode = InputMode::SyntaxLists;
        break;
    case 'f':
        options.format = FormatNamed(value);
        break;
    case '0':
        options.nulSeparated = true;
        break;
    case 'k':
        options.keepGoing = true;
        break;
    case 't':
        options.timeout = ParseDuration(value, "--timeout");
        break;
    case 'j':
        options.jobs = static_cast<int>(WholeNumber(value, "--jobs", 1, kMaxJobs));
        break;
    case kLog:
        options.log = value;
        break;
    case kRetry:
        options.retryFrom = value;
        break;
    case kCount:
        options.count = true;
        break;
    case kPick:
        options.pick = static_cast<long>(WholeNumber(value, "--pick", 1, 1000000000L));
        break;
    case 'n':
        options.dryRun = true;
        break;
    case kPrintFiles:
        options.printFiles = true;
        break;
    case 'h':
        options.help = true;
        break;
    case 'v':
        options.version = true;
        break;
    }
}

void CheckCombination(const Options& options, bool anyEntry) {
    if (options.help || options.version)
        return;
    if (!options.retryFrom.empty() && anyEntry)
        throw UsageError("--retry-failed takes its syntax files from the run log; give no ENTRY");
    if (options.retryFrom.empty() && !anyEntry)
        throw UsageError("no ENTRY given");
    if (int(options.count) + int(options.dryRun) + int(options.printFiles) > 1)
        throw UsageError("give only one of --count, --dry-run and --print-files");
}

} // namespace

std::chrono::seconds ParseDuration(const std::string& text, const std::string& option) {
    static const struct {
        char unit;
        long long seconds;
    } kUnits[] = {{'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}};
    long long unit = 1;
    std::string number = text;
    for (const auto& known : kUnits)
        if (!number.empty() && number.back() == known.unit) {
            unit = known.seconds;
            number.pop_back();
        }
    // Up to 100 years: beyond that a limit means nothing.
    const long long most = 100LL * 366 * 86400 / unit;
    try {
        return std::chrono::seconds(WholeNumber(number, option, 1, most) * unit);
    } catch (const UsageError&) {
        throw UsageError(option + " " + text +
                         ": a duration of 1 or more is needed: seconds, or a number with s, m, "
                         "h or d (90, 30m, 2h, 1d), up to 100 years");
    }
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    bool anyEntry = false;
    opterr = 0;
    optind = 1;
    for (;;) {
        const int before = optind;
        const int option = getopt_long(argc, argv, "-:lf:0kt:j:nhv", kLongOptions, nullptr);
        if (option == -1)
            break;
        if (option == '?')
            throw UsageError("Unknown option '" + OptionWritten(argv, before, optopt) + "'");
        if (option == ':')
            throw UsageError("Missing value after '" + OptionWritten(argv, before, optopt) + "'");
        if (option == 1) {
            anyEntry = true;
            if (std::strcmp(optarg, "-") != 0) {
                options.entries.emplace_back(optarg);
            } else if (options.entriesFromInput) {
                throw UsageError("- is given more than once");
            } else {
                options.entriesFromInput = true;
            }
            continue;
        }
        Take(options, option, optarg ? optarg : "");
    }
    for (int index = optind; index < argc; ++index) {
        anyEntry = true;
        options.entries.emplace_back(argv[index]);
    }
    CheckCombination(options, anyEntry);
    return options;
}

const char* HelpText() {
    return R"(Usage: kalvero-run [OPTION]... ENTRY...
  or:  kalvero-run [OPTION]... --retry-failed LOG
Runs statistics syntax files through PSPP, one pspp process each, and writes
each file's output beside it under its own name.

An ENTRY is a syntax file, or with --lists a syntax list file; - reads entries
from standard input, one per line. Relative names are read from the current
folder.

  -l, --lists             the entries are syntax list files, one name a line
  -f, --format FORMAT     viewer (.spo, the default), draft (.rtf) or text
                          (.txt); with --retry-failed, the log's own format
  -0, --null              entries on standard input, and names that
                          --print-files prints, are separated by NUL bytes
  -k, --keep-going        go on after a failing syntax file
  -t, --timeout DURATION  end a syntax file still running after DURATION:
                          seconds, or 30m, 2h, 1d
  -j, --jobs N            run up to N syntax files at once (default 1); only
                          for syntax files that do not read what another writes
      --log FILE          append one line per syntax file to the run log FILE
      --retry-failed LOG  run again what did not end ok in the run log LOG
      --count             print how many syntax files the entries name
      --pick K            run only the K-th of them (from 1)
  -n, --dry-run           print each syntax file, its output and any refusal,
                          and run none
      --print-files       print the syntax files that would run, and run none
  -h, --help              show this help
  -v, --version           show the version

Exit status: 0 all ok; 1 a syntax file failed, timed out or was stopped;
2 usage; 3 all ran but PSPP reported errors inside some; 4 PSPP cannot start;
128+N after signal N. See kalvero-run(1).
)";
}

} // namespace kalvero
