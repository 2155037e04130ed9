// Which job of a plan may start next: in plan order, past jobs that wait
// for an earlier job with the same output until that one has ended.
#pragma once

#include "batch/batch_plan.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kalvero {

class JobSchedule {
public:
    // Throws std::logic_error when a job waits for one that does not come
    // before it (it would wait for ever).
    explicit JobSchedule(const std::vector<Job>& jobs);

    // The next job that may start now, marked as running; none when every
    // job left waits for a running one, or none is left.
    std::optional<std::size_t> Next();
    void Ended(std::size_t index);
    // The jobs that have not started, in order.
    std::vector<std::size_t> NeverStarted() const;

private:
    enum class State { Waiting, Running, Done };
    const std::vector<Job>& jobs_;
    std::vector<State> states_;
    std::size_t firstWaiting_ = 0;
};

} // namespace kalvero
