#include "speech/render_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"

extern char** environ;

namespace sonoleaf::render {
namespace {

namespace fs = std::filesystem;

constexpr char kHelperName[] = "sonoleaf-render-helper";
// A file whose output has not grown for this long is taken for a synthesizer that
// hangs: speech is written at least every ten seconds of audio, which even the
// slowest voice makes in well under a second.
constexpr int kHangSeconds = 60;

RenderResult Failure(std::u16string reason) {
    return {RenderResult::Kind::Failed, std::move(reason)};
}

// Starts `helper` with its standard input and output on two new pipes.
bool Spawn(const std::string& helper, pid_t& pid, int& toHelper, int& fromHelper) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char* const arguments[] = {const_cast<char*>(helper.c_str()), nullptr};
    const int failed = ::posix_spawn(&pid, helper.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (failed != 0) {
        ::close(in[1]);
        ::close(out[0]);
        return false;
    }
    toHelper = in[1];
    fromHelper = out[0];
    return true;
}

}  // namespace

std::string FindRenderHelper() {
    if (const char* named = std::getenv("SONOLEAF_RENDER_HELPER"); named != nullptr && *named)
        return text::IsExecutableFile(named) ? named : std::string();
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path folder = self.parent_path();
    for (const fs::path& candidate :
         {folder / kHelperName, folder.parent_path() / kHelperName,
          folder.parent_path() / "libexec" / "sonoleaf" / kHelperName}) {
        if (text::IsExecutableFile(candidate.string())) return candidate.string();
    }
    return {};
}

int UsableCores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) != 0) return 1;
    return std::max(1, CPU_COUNT(&cores));
}

std::unique_ptr<RenderPool> RenderPool::Start(int slots, const std::string& helper) {
    if (slots < 1 || helper.empty()) return nullptr;
    pid_t pid = 0;
    int toHelper = -1;
    int fromHelper = -1;
    if (!Spawn(helper, pid, toHelper, fromHelper)) return nullptr;
    return std::unique_ptr<RenderPool>(new RenderPool(slots, pid, toHelper, fromHelper));
}

RenderPool::RenderPool(int slots, pid_t helper, int toHelper, int fromHelper)
    : slots_(slots), helper_(helper), toHelper_(toHelper), fromHelper_(fromHelper) {
    reader_ = std::thread([this] { ReadReports(); });
}

RenderPool::~RenderPool() {
    // The end of its input ends the helper, which stops the files in flight first.
    {
        std::lock_guard lock(writeMutex_);
        ::close(toHelper_);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(helper_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
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
    inFlight_[work.id] = InFlight{std::move(done), work.outputPath};
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
    std::lock_guard write(writeMutex_);
    for (const std::uint32_t id : ids) {
        Writer writer;
        writer.U32(id);
        WriteAll(toHelper_, writer.Frame(kStop));
    }
}

void RenderPool::ReadReports() {
    for (;;) {
        pollfd ready{fromHelper_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 1000);
        if (polled == 0) {
            WatchForHangs();
            continue;
        }
        if (polled < 0) continue;
        const std::optional<Frame> frame = ReadFrame(fromHelper_);
        if (!frame) break;
        OnFrame(*frame);
    }
    FailAll(Failure(u"The render helper ended before the file was complete."));
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
    std::int32_t value = 0;
    if (!reader.U32(id) || !reader.I32(value)) return;
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
        Finish(id,
               Failure(hung ? u"The speech synthesizer stopped responding on this text."
                            : u"The speech synthesizer failed on this text."),
               true);
    }
}

// Ends a file: its result to its owner, its slot free again. A file whose process
// was lost may be cut anywhere: it is removed rather than left half written.
void RenderPool::Finish(std::uint32_t id, const RenderResult& result, bool removeFile) {
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
    std::lock_guard lock(mutex_);
    for (auto& [id, file] : inFlight_) {
        if (file.pid <= 0 || file.hung) continue;
        std::error_code error;
        const std::uintmax_t size = fs::file_size(text::ToNarrow(file.outputPath), error);
        if (!error && size != file.lastSize) {
            file.lastSize = size;
            file.quietSeconds = 0;
        } else if (++file.quietSeconds >= kHangSeconds) {
            file.hung = true;
            ::kill(file.pid, SIGKILL);
        }
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
