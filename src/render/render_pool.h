#pragma once
// The program's side of the render helper: up to N files rendered at once, each in a
// process of its own, so that a list keeps every core at work. Files are handed over
// in order; their results come back as each ends. Every file handed over ends with a
// result within a bound: one whose process crashed, never started or stopped
// responding fails alone, and is not left behind half written. A file whose process
// or helper died is made once more (a helper that died is replaced) before it fails.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "render/render_protocol.h"

namespace sonoleaf::render {

// The helper program: SONOLEAF_RENDER_HELPER when set; else beside this program, the
// folder above it (test and benchmark programs), or the installed libexec folder.
// Empty when there is none.
std::string FindRenderHelper();

// How long the pool waits before it takes a helper or a file for lost.
struct PoolTimeouts {
    // For the helper's first report, which says which build it is.
    std::chrono::milliseconds hello{10000};
    // For a file's process to be reported started once the file is handed over.
    std::chrono::milliseconds start{30000};
    // For a file's output to grow: speech is written at least every ten seconds of
    // audio, which even the slowest voice makes in well under a second.
    std::chrono::milliseconds quiet{60000};
};

class RenderPool {
  public:
    using Done = std::function<void(const RenderResult&)>;

    // Starts the helper with room for `slots` files at once; null when it cannot run
    // or is of another build, `problem` then telling why.
    static std::unique_ptr<RenderPool> Start(int slots, const std::string& helper,
                                             std::string& problem, PoolTimeouts timeouts = {});
    ~RenderPool();  // stops the files in flight and ends the helper
    RenderPool(const RenderPool&) = delete;
    RenderPool& operator=(const RenderPool&) = delete;

    int Slots() const { return slots_; }
    // The helper now running (a new one replaces one that died); 0 while there is none.
    pid_t HelperPid();

    // Hands one file over, first waiting while every slot is busy. `stillWanted` is
    // asked once a slot is free: false (Stop in between) hands nothing over. `done`
    // runs once with the file's result, on one of the pool's own threads. Returns the
    // file's id; 0 when the file was not handed over (not wanted, or no helper runs
    // any more), `work` then being as it was.
    std::uint32_t Submit(FileWork&& work, const std::function<bool()>& stillWanted, Done done);
    // The file of this id, if still in flight, ends now, shorter and valid.
    void Stop(std::uint32_t id);
    // Waits until every file handed over has its result.
    void WaitIdle();
    // Every file in flight ends now, shorter and valid.
    void StopAll();

  private:
    using Clock = std::chrono::steady_clock;
    struct InFlight {
        Done done;
        std::u16string outputPath;
        // The work as sent, to be sent again should its process or the helper die.
        std::shared_ptr<const std::vector<std::string>> frames;
        int attempts = 1;
        std::uint64_t sentTo = 0;  // the helper (its generation) that has it; 0: none yet
        pid_t pid = 0;             // its process, once the helper reports it started
        Clock::time_point handedOver;
        std::uintmax_t lastSize = 0;
        Clock::time_point lastGrowth;
        bool hung = false;
        bool stopped = false;
    };
    struct Connection {
        pid_t pid = 0;
        int toHelper = -1;
        int fromHelper = -1;
    };

    RenderPool(int slots, std::string helper, Connection connection, PoolTimeouts timeouts);
    static std::optional<Connection> Connect(const std::string& helper,
                                             std::chrono::milliseconds hello, std::string& problem);
    void ReadReports();
    void OnFrame(const Frame& frame);
    // Sends every file in flight that the running helper does not have yet.
    void SendPending();
    // A fresh helper in place of one that has gone, and the files in flight sent to it
    // once more (those on their last attempt fail); false when none can start.
    bool Restart(int fromHelper);
    // Ends the file whose attempt was lost: sent once more, or failed for good.
    void Lost(std::uint32_t id, RenderResult result);
    void Finish(std::uint32_t id, RenderResult result, bool removeFile);
    // Fails the files whose process never started and has those that hang killed, on
    // a thread of its own: a slow result elsewhere does not make a file look hung.
    void WatchForHangs();
    void SendToHelper(const char* kind, std::uint32_t id);
    void FailAll(const RenderResult& result);

    const int slots_;
    const std::string helperPath_;
    const PoolTimeouts timeouts_;
    std::mutex writeMutex_;         // one frame at a time into the helper; taken before mutex_
    Connection connection_;         // toHelper and pid guarded by writeMutex_
    std::uint64_t generation_ = 1;  // guarded by writeMutex_; counts the helpers started
    std::deque<Clock::time_point> restarts_;  // the reader's own
    std::mutex mutex_;                        // guards everything below
    std::condition_variable changed_;
    std::map<std::uint32_t, InFlight> inFlight_;
    std::uint32_t nextId_ = 1;
    bool helperGone_ = false;
    bool ending_ = false;
    bool readerDone_ = false;
    std::thread reader_;
    std::thread watcher_;
};

}  // namespace sonoleaf::render
