#include "cli/job_run.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "cli/commands.h"
#include "cli/line_alerts.h"
#include "cli/progress_display.h"
#include "cli/stop_signals.h"
#include "jobs/job_procedures.h"
#include "speech/speech_engine.h"

namespace sonoleaf::cli {
namespace {

// The shell's status for a program ended by a signal.
constexpr int kSignalExitBase = 128;

void RunWithProgress(CliJobHost& host, const JobRun& run, ProgressDisplay& display,
                     const LineAlerts& alerts) {
    const JobProcedure procedure = ProcedureFor(run.job);
    if (run.singleFile) {
        display.Show(0, 1);
        procedure(host);
        display.Show(alerts.AnyFailure() ? 0 : 1, 1);
        display.Finish();
    } else if (run.progress.total > 0) {
        const FolderProgress feed(run.progress, display);
        procedure(host);
    } else {
        procedure(host);
    }
}

}  // namespace

int RunJob(CliJobHost& host, const CliOptions& options, const JobRun& run) {
    const std::unique_ptr<ProgressDisplay> display = MakeProgressDisplay(stderr, options.quiet);
    const auto alerts = std::make_shared<LineAlerts>(stdout, [&display] { display->Clear(); });
    SetAlertPresenter(alerts);

    SpeechEngine& engine = host.Engine();
    if (run.usesHelpers) {
        engine.EnableRenderHelpers(options.jobs);
        IgnoreInterruptForChildren();
        engine.RenderHelpers();  // started now, while they inherit the ignored Ctrl-C
    }
    int signal = 0;
    {
        const StopSignals stop([&host] { StopTtsProcess(host); });
        if (stop.Received() == 0) RunWithProgress(host, run, *display, *alerts);
        signal = stop.Received();
    }
    SetAlertPresenter(nullptr);
    if (signal != 0) return kSignalExitBase + signal;
    return alerts->AnyFailure() ? kExitFailed : 0;
}

}  // namespace sonoleaf::cli
