#pragma once
// Feeds a ProgressDisplay with how far a list has come, from what can be seen from
// outside the engine: the list's files as they appear in its folder, polled a few
// times a second on a thread of its own. Until the engine reports progress itself.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "cli/progress_display.h"

namespace sonoleaf::cli {

// The files of one list: "<folder>/<stem>_<k><extension>" for k in [first, first+total).
struct ListFiles {
    std::filesystem::path folder;
    std::string stem;
    std::string extension;
    std::int64_t first = 1;
    std::int64_t total = 0;
    int inFlight = 1;  // files rendered at once: those seen last may not be done yet
};

class FolderProgress {
  public:
    FolderProgress(ListFiles files, ProgressDisplay& display);
    ~FolderProgress();  // stops polling, shows the final count and finishes the display
    FolderProgress(const FolderProgress&) = delete;
    FolderProgress& operator=(const FolderProgress&) = delete;

  private:
    std::int64_t CountMade() const;
    void Poll();

    const ListFiles files_;
    ProgressDisplay& display_;
    const std::filesystem::file_time_type since_;  // files older than the run are not its own
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;  // guarded by mutex_
    std::thread poller_;
};

}  // namespace sonoleaf::cli
