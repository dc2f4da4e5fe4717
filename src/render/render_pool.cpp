#include "render/render_pool.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/process/spawn.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::render {
namespace {

namespace fs = std::filesystem;

constexpr char kHelperName[] = "sonoleaf-render-helper";
// How often files in flight are looked at for a process that never started or hangs.
constexpr auto kWatchEvery = std::chrono::seconds(1);

// Ends a helper that will not be used, and waits for it.
void EndHelper(pid_t pid, int toHelper, int fromHelper) {
    ::close(toHelper);
    ::close(fromHelper);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// The helper's first frame, waited for at most `timeout`.
std::optional<Frame> ReadHello(int fromHelper, std::chrono::milliseconds timeout) {
    pollfd ready{fromHelper, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
    return ReadFrame(fromHelper);
}

std::u16string Wide(const std::string& text) {
    return text::ToWide(text);
}

// Why a file's process ended without its result.
RenderResult LostResult(std::int32_t cause, std::int32_t value, bool hung) {
    RenderResult result;
    result.kind = RenderResult::Kind::Failed;
    result.lost = true;
    if (hung) {
        result.reason = u"The speech synthesizer stopped responding on this text.";
        result.lost = false;  // the same text would hang again
    } else if (cause == kLostForkFailed) {
        result.reason = u"No process could be started to render it: " +
                        Wide(std::strerror(static_cast<int>(value))) + u".";
    } else if (cause == kLostSignal && value == SIGKILL) {
        result.reason = u"The process rendering it was killed, perhaps for lack of memory.";
    } else if (cause == kLostSignal) {
        result.reason = u"The speech synthesizer crashed on this text (" +
                        Wide(::strsignal(static_cast<int>(value))) + u").";
    } else {
        result.reason = u"The process rendering it ended without finishing it (status " +
                        Wide(std::to_string(value)) + u").";
    }
    return result;
}

}  // namespace

std::string FindRenderHelper() {
    return process::FindHelperProgram(kHelperName, "SONOLEAF_RENDER_HELPER");
}

std::unique_ptr<RenderPool> RenderPool::Start(int slots, const std::string& helper,
                                              std::string& problem, PoolTimeouts timeouts) {
    if (slots < 1) {
        problem = "no render helper was asked for";
        return nullptr;
    }
    if (helper.empty()) {
        problem = "the render helper " + std::string(kHelperName) + " was not found";
        return nullptr;
    }
    process::PipedChild child;
    if (const int error = process::StartPiped(helper, child); error != 0) {
        problem = "the render helper " + helper + " could not start: " + std::strerror(error);
        return nullptr;
    }
    const std::optional<Frame> hello = ReadHello(child.fromChild, timeouts.hello);
    if (!hello || hello->kind != kHello || hello->body != BuildIdentity()) {
        problem = !hello ? "the render helper " + helper + " did not answer"
                         : "the render helper " + helper + " is of another build (" +
                               hello->body.substr(0, 80) + ", not " + BuildIdentity() + ")";
        EndHelper(child.pid, child.toChild, child.fromChild);
        return nullptr;
    }
    return std::unique_ptr<RenderPool>(
        new RenderPool(slots, child.pid, child.toChild, child.fromChild, timeouts));
}

RenderPool::RenderPool(int slots, pid_t helper, int toHelper, int fromHelper, PoolTimeouts timeouts)
    : slots_(slots),
      helper_(helper),
      toHelper_(toHelper),
      fromHelper_(fromHelper),
      timeouts_(timeouts) {
    reader_ = std::thread([this] { ReadReports(); });
}

RenderPool::~RenderPool() {
    // The end of its input ends the helper, which stops the files in flight first.
    {
        std::lock_guard lock(writeMutex_);
        ::close(toHelper_);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(helper_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(helper_, SIGKILL);
            ::waitpid(helper_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader_.join();
    ::close(fromHelper_);
}

std::uint32_t RenderPool::Submit(FileWork&& work, const std::function<bool()>& stillWanted,
                                 Done done) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return helperGone_ || static_cast<int>(inFlight_.size()) < slots_; });
    if (helperGone_ || !stillWanted()) return 0;
    const std::uint32_t id = work.id = nextId_++;
    InFlight& file = inFlight_[work.id];
    file.done = std::move(done);
    file.outputPath = work.outputPath;
    file.handedOver = file.lastGrowth = Clock::now();
    lock.unlock();
    const std::string frame = EncodeWork(work);
    work = {};  // the helper holds the text from here on
    // Should the helper have gone, its reports end and the reader fails every file in
    // flight, this one too.
    std::lock_guard write(writeMutex_);
    WriteAll(toHelper_, frame);
    return id;
}

void RenderPool::Stop(std::uint32_t id) {
    Writer writer;
    writer.U32(id);
    std::lock_guard write(writeMutex_);
    WriteAll(toHelper_, writer.Frame(kStop));
}

void RenderPool::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return inFlight_.empty(); });
}

void RenderPool::StopAll() {
    std::vector<std::uint32_t> ids;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, file] : inFlight_) ids.push_back(id);
    }
    for (const std::uint32_t id : ids) Stop(id);
}

void RenderPool::ReadReports() {
    auto nextWatch = Clock::now() + kWatchEvery;
    for (;;) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextWatch - Clock::now());
        pollfd ready{fromHelper_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(std::max<long>(0, wait.count())));
        if (polled > 0) {
            const std::optional<Frame> frame = ReadFrame(fromHelper_);
            if (!frame) break;
            OnFrame(*frame);
        }
        // Busy or not, every file is looked at in its turn: one that hangs among
        // others that report is still caught.
        if (Clock::now() >= nextWatch) {
            WatchForHangs();
            nextWatch = Clock::now() + kWatchEvery;
        }
    }
    FailAll(RenderResult::Failure(u"The render helper ended before the file was complete."));
}

void RenderPool::OnFrame(const Frame& frame) {
    if (frame.kind == kDone) {
        std::uint32_t id = 0;
        RenderResult result;
        if (DecodeResult(frame.body, id, result)) Finish(id, result, false);
        return;
    }
    Reader reader(frame.body);
    std::uint32_t id = 0;
    std::int32_t cause = 0;
    std::int32_t value = 0;
    if (!reader.U32(id) || !reader.I32(cause) || !reader.I32(value)) return;
    if (frame.kind == kStarted) {
        std::lock_guard lock(mutex_);
        if (const auto found = inFlight_.find(id); found != inFlight_.end())
            found->second.pid = static_cast<pid_t>(value);
    } else if (frame.kind == kLost) {
        bool hung = false;
        {
            std::lock_guard lock(mutex_);
            if (const auto found = inFlight_.find(id); found != inFlight_.end())
                hung = found->second.hung;
        }
        Finish(id, LostResult(cause, value, hung), true);
    }
}

// Ends a file: its result to its owner, its slot free again. A file whose process
// was lost may be cut anywhere: it is removed rather than left half written.
void RenderPool::Finish(std::uint32_t id, RenderResult result, bool removeFile) {
    Done done;
    std::u16string path;
    {
        std::lock_guard lock(mutex_);
        const auto found = inFlight_.find(id);
        if (found == inFlight_.end()) return;
        done = std::move(found->second.done);
        path = std::move(found->second.outputPath);
        inFlight_.erase(found);
    }
    if (removeFile) {
        std::error_code ignored;
        fs::remove(text::ToNarrow(path), ignored);
    }
    if (done) done(result);
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

void RenderPool::WatchForHangs() {
    std::vector<std::uint32_t> neverStarted;
    {
        std::lock_guard lock(mutex_);
        const auto now = Clock::now();
        for (auto& [id, file] : inFlight_) {
            if (file.pid <= 0) {
                if (now - file.handedOver >= timeouts_.start) neverStarted.push_back(id);
                continue;
            }
            if (file.hung) continue;
            std::error_code error;
            const std::uintmax_t size = fs::file_size(text::ToNarrow(file.outputPath), error);
            if (!error && size != file.lastSize) {
                file.lastSize = size;
                file.lastGrowth = now;
            } else if (now - file.lastGrowth >= timeouts_.quiet) {
                // Its process reports the kill as lost, which ends the file.
                file.hung = true;
                ::kill(file.pid, SIGKILL);
            }
        }
    }
    for (const std::uint32_t id : neverStarted) {
        Stop(id);  // should it start after all, it ends at once
        Finish(id, RenderResult::Failure(u"The render helper did not start rendering it."), true);
    }
}

void RenderPool::FailAll(const RenderResult& result) {
    std::vector<std::uint32_t> ids;
    {
        std::lock_guard lock(mutex_);
        helperGone_ = true;
        for (const auto& [id, file] : inFlight_) ids.push_back(id);
    }
    for (const std::uint32_t id : ids) Finish(id, result, true);
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

}  // namespace sonoleaf::render
