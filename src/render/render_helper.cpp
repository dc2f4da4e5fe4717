#include "render/render_helper.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <map>
#include <thread>

#include "render/render_protocol.h"

namespace sonoleaf::render {
namespace {

// Set by SIGUSR1 (from the helper, or when the helper itself ends): the work being
// done ends now, shorter and valid, as with "Stop TTS Process".
std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int /*signal*/) {
    g_stopRequested.store(true);
}

std::string Report(const char* kind, std::uint32_t id, std::int32_t cause, std::int32_t value) {
    Writer writer;
    writer.U32(id).I32(cause).I32(value);
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

// In the forked process: does the work and reports its result in one write, shorter
// than a pipe's atomic size, so that no other process's report can fall into it.
[[noreturn]] void DoWork(const FileWork& work, const ChildRenders& renders, int output) {
    BecomeWorker();
    const RenderResult result =
        work.segment ? renders.segment(work, g_stopRequested) : renders.file(work, g_stopRequested);
    WriteAll(output, EncodeResult(work.id, result));
    ::_exit(0);
}

class Helper {
  public:
    Helper(int input, int output, const ChildRenders& renders)
        : input_(input), output_(output), renders_(renders) {}

    int Run() {
        WriteAll(output_, Writer().Raw(BuildIdentity()).Frame(kHello));
        for (;;) {
            Reap(false);
            pollfd ready{input_, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            const std::optional<Frame> frame = ReadFrame(input_);
            if (!frame) break;
            if (frame->kind == kWork || frame->kind == kSegment) {
                Start(frame->kind == kWork ? DecodeWork(frame->body) : DecodeSegment(frame->body),
                      frame->body);
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
    void Start(std::optional<FileWork> work, const std::string& body) {
        if (!work) {
            // Answered all the same, so that the program does not wait for it.
            if (const std::optional<std::uint32_t> id = WorkId(body))
                WriteAll(output_, EncodeResult(*id, RenderResult::Failure(
                                                        u"The render helper could not read "
                                                        u"the work it was sent.")));
            return;
        }
        const pid_t pid = ::fork();
        if (pid == 0) DoWork(*work, renders_, output_);
        if (pid < 0) {
            WriteAll(output_, Report(kLost, work->id, kLostForkFailed, errno));
            return;
        }
        running_[pid] = work->id;
        WriteAll(output_, Report(kStarted, work->id, 0, pid));
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
            if (WIFSIGNALED(status)) {
                WriteAll(output_, Report(kLost, found->second, kLostSignal, WTERMSIG(status)));
            } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
                WriteAll(output_, Report(kLost, found->second, kLostExited, WEXITSTATUS(status)));
            }
            running_.erase(found);
        }
    }

    int input_;
    int output_;
    const ChildRenders& renders_;
    std::map<pid_t, std::uint32_t> running_;
};

}  // namespace

int RunRenderHelper(int input, int output, const ChildRenders& renders) {
    // A report to a program that has gone must not end the helper by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    return Helper(input, output, renders).Run();
}

}  // namespace sonoleaf::render
