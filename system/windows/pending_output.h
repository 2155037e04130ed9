// An output that another program (the statistics package) writes under a
// temporary name beside its target, so that it appears under the target's
// name whole or not at all, as QSaveFile does on Linux. The temporary is made
// before the other program writes into it (a folder that takes no file fails
// at once, naming the target), then checked (not empty, the disk not left
// full), flushed to the disk and moved over the target with MoveFileExW
// (replace, write-through). A temporary that was not committed is removed
// by the destructor, on every path.
#pragma once

#include <string>

namespace kalvero {

class PendingOutput {
public:
    // Makes the temporary; throws std::runtime_error "Cannot write TARGET:
    // reason".
    explicit PendingOutput(std::string target);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // "~kalvero-<process>-<n>-<name>" in the target's folder: the target's
    // extension stays last, since the writer may read the format from it.
    const std::string& TemporaryPath() const { return temporary_; }

    // Checks and flushes the temporary and puts it in the target's place;
    // throws std::runtime_error "Cannot write TARGET: reason".
    void Commit();

private:
    [[noreturn]] void Fail(const std::string& reason) const;

    std::string target_;
    std::string temporary_;
    bool committed_ = false;
};

} // namespace kalvero
