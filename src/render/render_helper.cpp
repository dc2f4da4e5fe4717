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
#include <set>
#include <thread>

#include "render/render_protocol.h"

namespace sonoleaf::render {
namespace {

// Set by SIGUSR1, from the helper: the work being done ends now, shorter and valid,
// as with "Stop TTS Process".
std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int /*signal*/) {
    g_stopRequested.store(true);
}

std::string Report(const char* kind, std::uint32_t id, std::int32_t cause, std::int32_t value) {
    Writer writer;
    writer.U32(id).I32(cause).I32(value);
    return writer.Frame(kind);
}

// In the forked process, first: SIGUSR1 stops the work, and the helper's input is no
// longer this process's. The helper's death ends it at once: its work is lost, not
// stopped, for a stopped file would be reported whole; the program makes it again.
void BecomeWorker(pid_t helper) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != helper) ::_exit(1);  // the helper died before the line above
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) ::dup2(nothing, STDIN_FILENO);
}

// In the forked process: does the work and reports its result in one write, shorter
// than a pipe's atomic size, so that no other process's report can fall into it.
[[noreturn]] void DoWork(const FileWork& work, const ChildRenders& renders, int output,
                         pid_t helper) {
    BecomeWorker(helper);
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
            if (frame->kind == kText) {
                Gather(frame->body);
            } else if (frame->kind == kWork) {
                StartWork(frame->body);
            } else if (frame->kind == kSegment) {
                Start(DecodeSegment(frame->body), frame->body);
            } else if (frame->kind == kStop) {
                Signal(frame->body, SIGUSR1);
            } else if (frame->kind == kKill) {
                Signal(frame->body, SIGKILL);
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
        const pid_t self = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) DoWork(*work, renders_, output_, self);
        if (pid < 0) {
            WriteAll(output_, Report(kLost, work->id, kLostForkFailed, errno));
            return;
        }
        running_[pid] = work->id;
        WriteAll(output_, Report(kStarted, work->id, 0, pid));
    }

    // A long text's leading part, kept for its work; past the bound the text is
    // dropped and its work refused, never rendered cut short.
    void Gather(const std::string& body) {
        Reader reader(body);
        std::uint32_t id = 0;
        std::u16string part;
        if (!reader.U32(id) || !reader.Text(part)) return;
        if (spoiled_.contains(id)) return;
        if (gathered_ + part.size() > kMaxGathered) {
            spoiled_.insert(id);
            if (const auto found = texts_.find(id); found != texts_.end()) {
                gathered_ -= found->second.size();
                texts_.erase(found);
            }
            return;
        }
        gathered_ += part.size();
        texts_[id] += part;
    }

    void StartWork(const std::string& body) {
        const std::optional<std::uint32_t> id = WorkId(body);
        std::u16string leading;
        if (id && spoiled_.erase(*id) != 0) {
            WriteAll(
                output_,
                EncodeResult(*id, RenderResult::Failure(u"Its text is too long to be rendered.")));
            return;
        }
        if (const auto found = id ? texts_.find(*id) : texts_.end(); found != texts_.end()) {
            leading = std::move(found->second);
            gathered_ -= leading.size();
            texts_.erase(found);
        }
        Start(DecodeWork(body, std::move(leading)), body);
    }

    // Only a process of this helper's own, not yet reaped: its pid cannot have been
    // taken by another.
    void Signal(const std::string& body, int signal) {
        Reader reader(body);
        std::uint32_t id = 0;
        if (!reader.U32(id)) return;
        for (const auto& [pid, runningId] : running_)
            if (runningId == id) ::kill(pid, signal);
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

    // A gigabyte of text in parts at once is more than any list hands over.
    static constexpr std::size_t kMaxGathered = std::size_t{1} << 29;

    int input_;
    int output_;
    const ChildRenders& renders_;
    std::map<pid_t, std::uint32_t> running_;
    std::map<std::uint32_t, std::u16string> texts_;  // leading parts, by their work's id
    std::size_t gathered_ = 0;                       // their characters in all
    std::set<std::uint32_t> spoiled_;                // ids whose text passed the bound
};

}  // namespace

int RunRenderHelper(int input, int output, const ChildRenders& renders) {
    // A report to a program that has gone must not end the helper by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    return Helper(input, output, renders).Run();
}

}  // namespace sonoleaf::render
