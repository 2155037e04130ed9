#include "engine/automation/call_watch.h"

#include "batch/run_stop.h"

namespace kalvero::automation {
namespace {

// How often a call in progress looks for a stop request, which arrives
// without a word to the watch.
constexpr auto kStopPoll = std::chrono::milliseconds(50);

} // namespace

CallWatch::CallWatch(std::function<void()> endServer)
    : endServer_(std::move(endServer)), thread_([this] { Watch(); }) {}

CallWatch::~CallWatch() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

CallWatch::Call::Call(CallWatch& watch, std::optional<Clock::time_point> deadline) : watch_(watch) {
    {
        const std::lock_guard<std::mutex> guard(watch_.lock_);
        watch_.inCall_ = true;
        watch_.deadline_ = deadline;
    }
    watch_.changed_.notify_all();
}

CallWatch::Call::~Call() {
    const std::lock_guard<std::mutex> guard(watch_.lock_);
    watch_.inCall_ = false;
}

CallWatch::Ending CallWatch::WhyEnded() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return ending_;
}

void CallWatch::Watch() {
    std::unique_lock<std::mutex> lock(lock_);
    while (!closing_) {
        if (!inCall_ || ending_ != Ending::None) {
            changed_.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (StopRequested()) {
            End(Ending::Stopped, lock);
        } else if (deadline_ && now >= *deadline_) {
            End(Ending::TimedOut, lock);
        } else {
            Clock::time_point until = now + kStopPoll;
            if (deadline_ && *deadline_ < until)
                until = *deadline_;
            changed_.wait_until(lock, until);
        }
    }
}

void CallWatch::End(Ending why, std::unique_lock<std::mutex>& lock) {
    ending_ = why;
    lock.unlock();
    endServer_();
    lock.lock();
}

} // namespace kalvero::automation
