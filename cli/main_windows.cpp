// kalvero-run on Windows: the statistics package's automation server as the
// engine, the Windows file system, and console control events (Ctrl+C,
// Ctrl+Break, closing the console) as stop requests: the first stops the
// batch cleanly, a second ends the program at once. The command line comes
// in UTF-16 and is handed on in UTF-8, as every path inside the program is;
// standard input and output carry bytes unchanged (no CR LF translation), so
// that names separated by NUL bytes or line ends pass as on Linux.
#include "cli/kalvero_run.h"
#include "engine/automation/automation_engine.h"
#include "system/windows/console_stop.h"
#include "system/windows/wide_text.h"
#include "system/windows/windows_file_system.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace kalvero {
namespace {

class WindowsPlatform : public CliPlatform {
public:
    FileSystem& Files() override { return files_; }

    std::unique_ptr<EngineFactory> Engines(std::chrono::seconds timeLimit) override {
        const auto seconds = std::min<std::chrono::seconds::rep>(timeLimit.count(), INT_MAX);
        return std::make_unique<AutomationEngineFactory>(static_cast<int>(seconds));
    }

    // A server left running by a run that was killed ended with that run:
    // its job closed when the run's process ended.
    void CleanUpAfterEarlierRuns() override {}

    std::string HostName() override {
        wchar_t name[256];
        DWORD size = 256;
        if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size))
            return {};
        return Utf8FromWide(std::wstring(name, size));
    }

    // A console that understands the terminal sequences of the live line
    // (Windows 10 and later, and Wine's); 0 for plain lines elsewhere.
    int LiveLineWidth() override {
        const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
        DWORD mode = 0;
        const char* term = std::getenv("TERM");
        if (!GetConsoleMode(errors, &mode) || (term && std::strcmp(term, "dumb") == 0))
            return 0;
        if (!SetConsoleMode(errors, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
            return 0;
        CONSOLE_SCREEN_BUFFER_INFO screen;
        if (GetConsoleScreenBufferInfo(errors, &screen))
            return screen.srWindow.Right - screen.srWindow.Left + 1;
        return 80;
    }

    int EndingSignal() override { return ConsoleStopSignal(); }

private:
    WindowsFileSystem files_;
};

} // namespace
} // namespace kalvero

int wmain(int argc, wchar_t** argv) {
    using namespace kalvero;
    StopOnConsoleEvents();
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // Messages name files in UTF-8; a console shows them so.
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(Utf8FromWide(argv[i]));
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    WindowsPlatform platform;
    const int status = KalveroRun(argc, pointers.data(), platform);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
