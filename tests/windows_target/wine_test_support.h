// What the Windows target's tests share: a private temporary folder with a
// blank and a non-ASCII letter in its name, and the fake automation server
// as one test sees it (its journal, its planned fault and its process).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kalvero::windows_testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder(); // removes the folder with everything in it
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The full path of name inside the folder (UTF-8, backslashes).
    std::string Path(const std::string& name) const;
    // Writes bytes to name inside the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// The file's bytes, or nothing when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Sets the fake server's journal (a new file in folder) and its fault in
// this process's environment, which the server inherits: Wine starts a
// local server from the process that asks for it. The destructor ends a
// server that is still running, by its process id, and clears both.
class FakeServer {
public:
    explicit FakeServer(const TempFolder& folder, const std::string& fault = {});
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    std::vector<std::string> Journal() const;
    // The journal's calls only ("Name(arguments)"), in order.
    std::vector<std::string> Calls() const;
    // Waits until a journal line starts with prefix; false after timeoutMs.
    bool WaitForLine(const std::string& prefix, DWORD timeoutMs) const;
    // The server's process id from its journal; 0 before it has started.
    DWORD ProcessId() const;
    // Waits until the server's process has ended; false after timeoutMs.
    bool WaitForEnd(DWORD timeoutMs) const;
    // Ends the server's process at once, as a time limit would.
    void Kill() const;

private:
    std::string journal_;
};

} // namespace kalvero::windows_testing
