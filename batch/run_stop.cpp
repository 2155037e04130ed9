#include "batch/run_stop.h"

#include <atomic>
#include <mutex>

namespace kalvero {
namespace {
std::atomic<bool> requested{false};
std::mutex reasonLock;
std::string reasonText;
} // namespace

const char* const kStoppedByUser = "stopped by the user";

void RequestStop(const std::string& reason) {
    {
        const std::lock_guard<std::mutex> lock(reasonLock);
        if (!requested.load())
            reasonText = reason;
    }
    requested.store(true);
}

bool StopRequested() {
    return requested.load();
}

std::string StopReason() {
    const std::lock_guard<std::mutex> lock(reasonLock);
    return reasonText;
}

void ClearStop() {
    const std::lock_guard<std::mutex> lock(reasonLock);
    requested.store(false);
    reasonText.clear();
}

void ThrowIfStopRequested() {
    if (StopRequested())
        throw RunStopped("The run was " + StopReason());
}

} // namespace kalvero
