#pragma once
// How the progress of a job is shown on standard error: a bar on a terminal, plain
// "12/44 files" lines when it goes to a file or a pipe, nothing when asked to be quiet.
// Fed with done/total numbers by whatever observes the job.

#include <cstdint>
#include <cstdio>
#include <memory>

namespace sonoleaf::cli {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    // `done` of `total` files; called from one thread at a time.
    virtual void Show(std::int64_t done, std::int64_t total) = 0;
    // Takes the bar off its line, so that a message can be printed; the next Show
    // draws it again.
    virtual void Clear() {}
    // The job has ended: the bar's line is closed.
    virtual void Finish() {}
};

// The display for `stream`: a bar when it is a terminal, else lines; none when quiet.
std::unique_ptr<ProgressDisplay> MakeProgressDisplay(std::FILE* stream, bool quiet);

}  // namespace sonoleaf::cli
