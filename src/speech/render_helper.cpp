#include "speech/render_helper.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <thread>

#include "platform/speech/segment_synthesis.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"
#include "speech/render_protocol.h"
#include "speech/speech_engine.h"

namespace sonoleaf::render {
namespace {

namespace ss = speech_service;

// Set by SIGUSR1 (from the helper, or when the helper itself ends): the file being
// rendered ends now, shorter and valid, as with "Stop TTS Process".
std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int /*signal*/) {
    g_stopRequested.store(true);
}

std::string Report(const char* kind, std::uint32_t id, std::int32_t value) {
    Writer writer;
    writer.U32(id).I32(value);
    return writer.Frame(kind);
}

// In the forked process, first: SIGUSR1 (or the helper's end) stops the work, and
// the helper's input is no longer this process's.
void BecomeWorker() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGUSR1);
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) ::dup2(nothing, STDIN_FILENO);
}

// In the forked process: synthesizes the segment's pieces, appending their samples
// to the segment's file, and reports the result.
[[noreturn]] void RenderOneSegment(const FileWork& work, int output) {
    BecomeWorker();
    const ss::SegmentWork& segment = *work.segment;
    RenderResult result = RenderResult::Saved();
    const int file =
        ::open(text::ToNarrow(work.outputPath).c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const std::shared_ptr<ss::SynthesisEngine> engine =
        ss::InstalledEngineWithVoice(segment.voiceId);
    if (file < 0) {
        result = RenderResult::Failure(RenderStep::File, ss::kAccessDenied);
    } else if (!engine) {
        result = RenderResult::Failure(RenderStep::Voice, ss::kEngineMissing);
    } else {
        const ss::HResult hr = ss::SynthesizeSegment(
            segment, *engine, g_stopRequested, [&](const std::vector<std::int16_t>& samples) {
                return WriteAll(file, {reinterpret_cast<const char*>(samples.data()),
                                       samples.size() * sizeof(std::int16_t)});
            });
        if (ss::Failed(hr)) result = RenderResult::Failure(RenderStep::Speech, hr);
    }
    if (file >= 0) ::close(file);
    WriteAll(output, EncodeResult(work.id, result));
    ::_exit(0);
}

// In the forked process: renders the one file and reports its result.
[[noreturn]] void RenderOneFile(FileWork work, int output) {
    BecomeWorker();
    SpeechEngine engine(ss::CreateSystemSpeechService());
    std::atomic<bool> finished{false};
    // A signal handler may not take locks; this thread passes the request on.
    std::thread watcher([&] {
        while (!finished.load()) {
            if (g_stopRequested.load()) engine.Stop(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const RenderResult result = engine.RenderFileWork(
        work.profile, std::move(work.text), std::move(work.outputPath), std::move(work.tags));
    finished.store(true);
    watcher.join();
    // One write, shorter than a pipe's atomic size: no other process's report can
    // fall into it.
    WriteAll(output, EncodeResult(work.id, result));
    ::_exit(0);
}

class Helper {
  public:
    Helper(int input, int output) : input_(input), output_(output) {}

    int Run() {
        for (;;) {
            Reap(false);
            pollfd ready{input_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            const std::optional<Frame> frame = ReadFrame(input_);
            if (!frame) break;
            if (frame->kind == kWork) {
                Start(DecodeWork(frame->body));
            } else if (frame->kind == kSegment) {
                Start(DecodeSegment(frame->body));
            } else if (frame->kind == kStop) {
                Stop(frame->body);
            }
        }
        // Every file in flight ends shorter and valid; one that does not end soon is
        // ended, so that no process outlives the helper.
        for (const auto& [pid, id] : running_) ::kill(pid, SIGUSR1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!running_.empty() && std::chrono::steady_clock::now() < deadline) {
            Reap(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (const auto& [pid, id] : running_) ::kill(pid, SIGKILL);
        Reap(true);
        return 0;
    }

  private:
    void Start(std::optional<FileWork> work) {
        if (!work) return;
        const pid_t pid = ::fork();
        if (pid == 0 && work->segment) RenderOneSegment(*work, output_);
        if (pid == 0) RenderOneFile(std::move(*work), output_);
        if (pid < 0) {
            WriteAll(output_, Report(kLost, work->id, 0));
            return;
        }
        running_[pid] = work->id;
        WriteAll(output_, Report(kStarted, work->id, pid));
    }

    void Stop(const std::string& body) {
        Reader reader(body);
        std::uint32_t id = 0;
        if (!reader.U32(id)) return;
        for (const auto& [pid, runningId] : running_)
            if (runningId == id) ::kill(pid, SIGUSR1);
    }

    // Collects ended processes; one that ended without its report is told as lost.
    void Reap(bool all) {
        while (!running_.empty()) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, all ? 0 : WNOHANG);
            if (pid <= 0) return;
            const auto found = running_.find(pid);
            if (found == running_.end()) continue;
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                const int cause = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                WriteAll(output_, Report(kLost, found->second, cause));
            }
            running_.erase(found);
        }
    }

    int input_;
    int output_;
    std::map<pid_t, std::uint32_t> running_;
};

}  // namespace

int RunRenderHelper(int input, int output) {
    // A report to a program that has gone must not end the helper by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    return Helper(input, output).Run();
}

}  // namespace sonoleaf::render
