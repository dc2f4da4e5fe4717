#pragma once
// How the progress of a job is shown on standard error: a bar on a terminal, plain
// lines ("12/44 files", "40%") when it goes to a file or a pipe, nothing when asked to
// be quiet. Fed with the engine's own progress readings, as the window's activity
// area is.

#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/text/progress.h"

namespace sonoleaf::cli {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    // `done` of `total` in `unit` ("files", or "%" with a total of 100); from one
    // thread at a time.
    virtual void Show(std::int64_t done, std::int64_t total, const char* unit) = 0;
    // Takes the bar off its line, so that a message can be printed; the next Show
    // draws it again.
    virtual void Clear() {}
    // The job has ended: the bar's line is closed.
    virtual void Finish() {}
};

// The display for `stream`: a bar when it is a terminal, else lines; none when quiet.
std::unique_ptr<ProgressDisplay> MakeProgressDisplay(std::FILE* stream, bool quiet);

// What a reading shows: the files of a list, else the share of the text spoken.
// False when the job cannot tell yet.
bool ShownProgress(const progress::Reading& reading, std::int64_t& done, std::int64_t& total,
                   const char*& unit);

}  // namespace sonoleaf::cli
