#pragma once
// What a job came to, beside the boxes it showed: made, some of it failed (with the
// reasons), nothing to make, or stopped. The window needs no more than its boxes; the
// command line turns this into its exit status rather than reading the wording. The
// runner of a job makes its outcome the job thread's current one; the job, and the
// engine operations it calls on that thread, report into it.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sonoleaf {

class JobOutcome {
  public:
    enum class Kind { Done, Stopped, NothingDone, Failed };

    void Failed(std::u16string reason);
    void NothingDone(std::u16string reason);
    void Stopped();

    // The gravest reported: a failure over nothing done over a stop over done.
    Kind Result() const;
    // Every failure's reason, in the order reported.
    std::vector<std::u16string> Reasons() const;

  private:
    mutable std::mutex mutex_;
    Kind kind_ = Kind::Done;
    std::vector<std::u16string> reasons_;
};

// Makes `outcome` the calling thread's current one while it lives.
class CurrentOutcomeScope {
  public:
    explicit CurrentOutcomeScope(JobOutcome* outcome);
    ~CurrentOutcomeScope();
    CurrentOutcomeScope(const CurrentOutcomeScope&) = delete;
    CurrentOutcomeScope& operator=(const CurrentOutcomeScope&) = delete;

  private:
    JobOutcome* previous_;
};

namespace outcome {
// The calling thread's current outcome, or null; the reports below do nothing then.
JobOutcome* Current();
void Failed(std::u16string reason);
void NothingDone(std::u16string reason);
void Stopped();
}  // namespace outcome

}  // namespace sonoleaf
