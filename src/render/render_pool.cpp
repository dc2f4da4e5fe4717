#include "render/render_pool.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
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

std::optional<RenderPool::Connection> RenderPool::Connect(const std::string& helper,
                                                          std::chrono::milliseconds hello,
                                                          std::string& problem) {
    process::PipedChild child;
    if (const int error = process::StartPiped(helper, child); error != 0) {
        problem = "the render helper " + helper + " could not start: " + std::strerror(error);
        return std::nullopt;
    }
    const std::optional<Frame> answer = ReadHello(child.fromChild, hello);
    if (!answer || answer->kind != kHello || answer->body != BuildIdentity()) {
        problem = !answer ? "the render helper " + helper + " did not answer"
                          : "the render helper " + helper + " is of another build (" +
                                answer->body.substr(0, 80) + ", not " + BuildIdentity() + ")";
        EndHelper(child.pid, child.toChild, child.fromChild);
        return std::nullopt;
    }
    return Connection{child.pid, child.toChild, child.fromChild};
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
    const std::optional<Connection> connection = Connect(helper, timeouts.hello, problem);
    if (!connection) return nullptr;
    return std::unique_ptr<RenderPool>(new RenderPool(slots, helper, *connection, timeouts));
}

RenderPool::RenderPool(int slots, std::string helper, Connection connection, PoolTimeouts timeouts)
    : slots_(slots), helperPath_(std::move(helper)), timeouts_(timeouts), connection_(connection) {
    reader_ = std::thread([this] { ReadReports(); });
    watcher_ = std::thread([this] { WatchForHangs(); });
}

RenderPool::~RenderPool() {
    // The end of its input ends the helper, which stops the files in flight first; the
    // reader then sees its reports end, and waits for it.
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    {
        std::lock_guard write(writeMutex_);
        if (connection_.toHelper >= 0) ::close(connection_.toHelper);
        connection_.toHelper = -1;
    }
    // A helper that does not end (stopped by a debugger, say) is ended; one the reader
    // has reaped is no longer named, so no other process can be hit.
    bool done = false;
    {
        std::unique_lock lock(mutex_);
        done = changed_.wait_for(lock, std::chrono::seconds(5), [&] { return readerDone_; });
    }
    if (!done) {
        std::lock_guard write(writeMutex_);
        if (connection_.pid > 0) ::kill(connection_.pid, SIGKILL);
    }
    reader_.join();
    watcher_.join();
}

pid_t RenderPool::HelperPid() {
    std::lock_guard write(writeMutex_);
    return connection_.pid;
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
    auto frames = std::make_shared<const std::vector<std::string>>(EncodeWork(work));
    work = {};  // the pool holds the text from here on
    {
        std::lock_guard relock(mutex_);
        if (const auto found = inFlight_.find(id); found != inFlight_.end())
            found->second.frames = std::move(frames);
    }
    SendPending();
    return id;
}

void RenderPool::SendPending() {
    std::lock_guard write(writeMutex_);
    std::vector<std::pair<std::uint32_t, std::shared_ptr<const std::vector<std::string>>>> toSend;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, file] : inFlight_) {
            if (!file.frames || file.stopped || file.sentTo == generation_) continue;
            file.sentTo = generation_;
            toSend.emplace_back(id, file.frames);
        }
    }
    for (const auto& [id, frames] : toSend) {
        // Should the helper have gone, its reports end and the reader sends these again
        // to the next one, or fails them.
        for (const std::string& frame : *frames)
            if (connection_.toHelper < 0 || !WriteAll(connection_.toHelper, frame)) return;
        // Its start is awaited from here: a long text takes its time to travel.
        std::lock_guard lock(mutex_);
        if (const auto found = inFlight_.find(id); found != inFlight_.end())
            found->second.handedOver = found->second.lastGrowth = Clock::now();
    }
}

void RenderPool::SendToHelper(const char* kind, std::uint32_t id) {
    Writer writer;
    writer.U32(id);
    std::lock_guard write(writeMutex_);
    if (connection_.toHelper >= 0) WriteAll(connection_.toHelper, writer.Frame(kind));
}

void RenderPool::Stop(std::uint32_t id) {
    bool sent = false;
    {
        std::lock_guard lock(mutex_);
        const auto found = inFlight_.find(id);
        if (found == inFlight_.end()) return;
        found->second.stopped = true;
        sent = found->second.sentTo != 0;
    }
    // One the helper does not have yet is ended by the watcher, not here: Stop may come
    // from the window's thread, and a result's owner may take its time.
    if (sent) {
        SendToHelper(kStop, id);
    } else {
        changed_.notify_all();
    }
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
    int fromHelper = connection_.fromHelper;  // the reader's own from here on
    for (;;) {
        if (const std::optional<Frame> frame = ReadFrame(fromHelper)) {
            OnFrame(*frame);
            continue;
        }
        if (!Restart(fromHelper)) break;
        std::lock_guard write(writeMutex_);
        fromHelper = connection_.fromHelper;
    }
    FailAll(RenderResult::Failure(u"The render helper ended before the file was complete."));
    std::lock_guard lock(mutex_);
    readerDone_ = true;
    changed_.notify_all();
}

bool RenderPool::Restart(int fromHelper) {
    ::close(fromHelper);
    bool ending = false;
    {
        // Its reports ended: the helper has gone or is going (its input closed, it stops
        // its files first). Reaped under the lock, so that no one signals its pid after
        // the system may have given it out again.
        std::lock_guard write(writeMutex_);
        const Connection old = std::exchange(connection_, Connection{});
        {
            std::lock_guard lock(mutex_);
            ending = ending_;
        }
        if (old.toHelper >= 0) ::close(old.toHelper);
        if (!ending) ::kill(old.pid, SIGKILL);
        int status = 0;
        ::waitpid(old.pid, &status, 0);
    }
    if (ending) return false;

    // A helper that dies again and again (it cannot start its work, say) is not
    // replaced for ever: three times a minute at most.
    const auto now = Clock::now();
    while (!restarts_.empty() && now - restarts_.front() > std::chrono::minutes(1))
        restarts_.pop_front();
    if (restarts_.size() >= 3) return false;
    restarts_.push_back(now);
    std::string problem;
    const std::optional<Connection> fresh = Connect(helperPath_, timeouts_.hello, problem);
    if (!fresh) {
        std::fprintf(stderr, "sonoleaf: %s\n", problem.c_str());
        return false;
    }
    std::vector<std::uint32_t> failed;
    {
        std::lock_guard write(writeMutex_);
        std::lock_guard lock(mutex_);
        if (ending_) {
            EndHelper(fresh->pid, fresh->toHelper, fresh->fromHelper);
            return false;
        }
        connection_ = *fresh;
        ++generation_;
        for (auto& [id, file] : inFlight_) {
            if (file.sentTo == 0) continue;  // not sent yet: it goes as it would have
            if (file.attempts >= 2 || file.stopped) {
                failed.push_back(id);
                continue;
            }
            ++file.attempts;
            file.sentTo = 0;
            file.pid = 0;
            file.hung = false;
            file.lastSize = 0;
            file.handedOver = file.lastGrowth = now;
        }
    }
    for (const std::uint32_t id : failed) {
        RenderResult lost = RenderResult::Failure(
            u"The render helper ended before the file was complete, perhaps for lack of memory.");
        lost.lost = true;
        Finish(id, std::move(lost), true);
    }
    SendPending();
    return true;
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
        Lost(id, LostResult(cause, value, hung));
    }
}

void RenderPool::Lost(std::uint32_t id, RenderResult result) {
    {
        std::lock_guard lock(mutex_);
        const auto found = inFlight_.find(id);
        if (found == inFlight_.end()) return;
        InFlight& file = found->second;
        // A crash or the memory killer may well spare a second attempt; a hang would
        // hang again, and a stopped file is not wanted.
        if (result.lost && !file.stopped && file.attempts < 2) {
            ++file.attempts;
            file.sentTo = 0;
            file.pid = 0;
            file.lastSize = 0;
            file.handedOver = file.lastGrowth = Clock::now();
            result = {};
        }
    }
    if (result.kind == RenderResult::Kind::NothingToSay) {
        SendPending();
        return;
    }
    Finish(id, std::move(result), true);
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
    std::unique_lock lock(mutex_);
    while (!ending_) {
        changed_.wait_for(lock, kWatchEvery);
        std::vector<std::uint32_t> neverStarted;
        std::vector<std::uint32_t> unsentStopped;
        std::vector<std::uint32_t> hung;
        const auto now = Clock::now();
        for (auto& [id, file] : inFlight_) {
            if (file.stopped && file.sentTo == 0) {
                unsentStopped.push_back(id);
            } else if (file.pid <= 0) {
                if (now - file.handedOver >= timeouts_.start) neverStarted.push_back(id);
            } else if (!file.hung) {
                std::error_code error;
                const std::uintmax_t size = fs::file_size(text::ToNarrow(file.outputPath), error);
                if (!error && size != file.lastSize) {
                    file.lastSize = size;
                    file.lastGrowth = now;
                } else if (now - file.lastGrowth >= timeouts_.quiet) {
                    // Its process reports the kill as lost, which ends the file.
                    file.hung = true;
                    hung.push_back(id);
                }
            }
        }
        if (neverStarted.empty() && unsentStopped.empty() && hung.empty()) continue;
        lock.unlock();
        for (const std::uint32_t id : hung) SendToHelper(kKill, id);
        for (const std::uint32_t id : unsentStopped) Finish(id, RenderResult{}, true);
        for (const std::uint32_t id : neverStarted) {
            Stop(id);  // should it start after all, it ends at once
            Finish(id, RenderResult::Failure(u"The render helper did not start rendering it."),
                   true);
        }
        lock.lock();
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
