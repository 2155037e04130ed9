// A watch over the calls into one server process, from a thread of its own.
// COM's calls into a local server block the calling thread until the server
// answers; while one waits, a deadline that passes or a stop request
// (batch/run_stop.h) makes the watch end the server with everything it
// started (endServer), and the call comes back failed. WhyEnded then tells
// the caller why.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace kalvero::automation {

class CallWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Ending { None, TimedOut, Stopped };

    explicit CallWatch(std::function<void()> endServer);
    ~CallWatch();
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

    // Marks a call in progress for its lifetime, to be done by deadline
    // (none: no time limit).
    class Call {
    public:
        Call(CallWatch& watch, std::optional<Clock::time_point> deadline);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        CallWatch& watch_;
    };

    Ending WhyEnded() const;

private:
    void Watch();
    void End(Ending why, std::unique_lock<std::mutex>& lock);

    std::function<void()> endServer_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool inCall_ = false;
    std::optional<Clock::time_point> deadline_;
    Ending ending_ = Ending::None;
    bool closing_ = false;
    std::thread thread_;
};

} // namespace kalvero::automation
