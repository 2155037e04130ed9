#include "batch/job_schedule.h"

#include <stdexcept>
#include <string>

namespace kalvero {

JobSchedule::JobSchedule(const std::vector<Job>& jobs)
    : jobs_(jobs), states_(jobs.size(), State::Waiting) {
    for (std::size_t index = 0; index < jobs.size(); ++index)
        if (jobs[index].after >= static_cast<long>(index) || jobs[index].after < -1)
            throw std::logic_error("Job " + std::to_string(index + 1) + " waits for job " +
                                   std::to_string(jobs[index].after + 1) +
                                   ", which does not come before it");
}

std::optional<std::size_t> JobSchedule::Next() {
    while (firstWaiting_ < states_.size() && states_[firstWaiting_] != State::Waiting)
        ++firstWaiting_;
    for (std::size_t index = firstWaiting_; index < states_.size(); ++index) {
        const long after = jobs_[index].after;
        if (states_[index] == State::Waiting &&
            (after < 0 || states_[static_cast<std::size_t>(after)] == State::Done)) {
            states_[index] = State::Running;
            return index;
        }
    }
    return std::nullopt;
}

void JobSchedule::Ended(std::size_t index) {
    states_[index] = State::Done;
}

std::vector<std::size_t> JobSchedule::NeverStarted() const {
    std::vector<std::size_t> waiting;
    for (std::size_t index = firstWaiting_; index < states_.size(); ++index)
        if (states_[index] == State::Waiting)
            waiting.push_back(index);
    return waiting;
}

} // namespace kalvero
