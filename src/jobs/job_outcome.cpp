#include "jobs/job_outcome.h"

#include <algorithm>

namespace sonoleaf {
namespace {
thread_local JobOutcome* t_current = nullptr;
}

void JobOutcome::Failed(std::u16string reason) {
    std::lock_guard lock(mutex_);
    kind_ = Kind::Failed;
    reasons_.push_back(std::move(reason));
}

void JobOutcome::NothingDone(std::u16string reason) {
    std::lock_guard lock(mutex_);
    kind_ = std::max(kind_, Kind::NothingDone);
    reasons_.push_back(std::move(reason));
}

void JobOutcome::Stopped() {
    std::lock_guard lock(mutex_);
    kind_ = std::max(kind_, Kind::Stopped);
}

JobOutcome::Kind JobOutcome::Result() const {
    std::lock_guard lock(mutex_);
    return kind_;
}

std::vector<std::u16string> JobOutcome::Reasons() const {
    std::lock_guard lock(mutex_);
    return reasons_;
}

CurrentOutcomeScope::CurrentOutcomeScope(JobOutcome* outcome) : previous_(t_current) {
    t_current = outcome;
}

CurrentOutcomeScope::~CurrentOutcomeScope() {
    t_current = previous_;
}

namespace outcome {

JobOutcome* Current() {
    return t_current;
}

void Failed(std::u16string reason) {
    if (t_current != nullptr) t_current->Failed(std::move(reason));
}

void NothingDone(std::u16string reason) {
    if (t_current != nullptr) t_current->NothingDone(std::move(reason));
}

void Stopped() {
    if (t_current != nullptr) t_current->Stopped();
}

}  // namespace outcome
}  // namespace sonoleaf
