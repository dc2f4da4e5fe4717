#include "cli/job_run.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "cli/line_alerts.h"
#include "cli/progress_display.h"
#include "cli/stop_signals.h"
#include "jobs/job_outcome.h"
#include "platform/text/progress.h"
#include "speech/speech_engine.h"
#include "speech/speech_jobs.h"

namespace sonoleaf::cli {
namespace {

// The shell's status for a program ended by a signal.
constexpr int kSignalExitBase = 128;
// Often enough to look alive, rarely enough to cost nothing.
constexpr auto kShowEvery = std::chrono::milliseconds(200);

// Shows the job's readings a few times a second while it runs.
class ProgressFeed {
  public:
    ProgressFeed(const progress::JobProgress& job, ProgressDisplay& display)
        : job_(job), display_(display), thread_([this] { Run(); }) {}
    ~ProgressFeed() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        thread_.join();
        ShowNow();
    }
    ProgressFeed(const ProgressFeed&) = delete;
    ProgressFeed& operator=(const ProgressFeed&) = delete;

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, kShowEvery, [this] { return ending_; })) ShowNow();
    }
    void ShowNow() {
        std::int64_t done = 0;
        std::int64_t total = 0;
        const char* unit = "";
        if (ShownProgress(job_.Read(), done, total, unit)) display_.Show(done, total, unit);
    }

    const progress::JobProgress& job_;
    ProgressDisplay& display_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;  // guarded by mutex_
    std::thread thread_;
};

}  // namespace

int RunJob(CliJobHost& host, const CliOptions& options, const JobRun& run) {
    const std::unique_ptr<ProgressDisplay> display = MakeProgressDisplay(stderr, options.quiet);
    const auto alerts =
        std::make_shared<LineAlerts>(stdout, stderr, [&display] { display->Clear(); });
    SetAlertPresenter(alerts);

    SpeechEngine& engine = host.Engine();
    if (run.usesHelpers) {
        engine.EnableRenderHelpers(options.jobs);
        IgnoreInterruptForChildren();
        engine.RenderHelpers();  // started now, while they inherit the ignored Ctrl-C
    }
    JobOutcome outcome;
    int signal = 0;
    {
        const StopSignals stop([&host] { StopTtsProcess(host); });
        if (stop.Received() == 0) {
            progress::JobProgress job;
            {
                const ProgressFeed feed(job, *display);
                const CurrentOutcomeScope reporting(&outcome);
                const progress::CurrentJobScope measuring(&job);
                run.procedure(host);
            }
            if (run.singleFile)
                display->Show(outcome.Result() == JobOutcome::Kind::Done, 1, "files");
            display->Finish();
        }
        signal = stop.Received();
    }
    SetAlertPresenter(nullptr);
    if (signal != 0) return kSignalExitBase + signal;
    const JobOutcome::Kind result = outcome.Result();
    return result == JobOutcome::Kind::Done || result == JobOutcome::Kind::Stopped ? 0
                                                                                   : kExitFailed;
}

}  // namespace sonoleaf::cli
