#pragma once
// Ctrl-C and SIGTERM as "Stop TTS Process": the handler only raises a flag; a watcher
// thread sees it and runs the stop, which takes locks a handler may not.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sonoleaf::cli {

class StopSignals {
  public:
    // Handles SIGINT and SIGTERM from now on; after the first of them `stop` runs on
    // the watcher thread, a few times a second until this ends.
    explicit StopSignals(std::function<void()> stop);
    ~StopSignals();  // ends the watcher; the handlers stay (the program is ending)
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that stopped the job, 0 for none.
    int Received() const;

  private:
    void Watch();

    std::function<void()> stop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;  // guarded by mutex_
    std::thread watcher_;
};

// Child processes started after this ignore Ctrl-C from the terminal, which reaches
// the whole process group: the render helpers then end their files through Stop, as
// asked, instead of dying halfway through them.
void IgnoreInterruptForChildren();

}  // namespace sonoleaf::cli
