#include "render/render_segments.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/text/regular_file.h"
#include "platform/text/text_convert.h"
#include "render/render_pool.h"

namespace sonoleaf::render {
namespace {

namespace fs = std::filesystem;
namespace ss = speech_service;

// What the pool reports of one segment; shared with the pool's callback, which may
// come after the render has let the segment go.
struct Outcome {
    std::mutex mutex;
    std::condition_variable ended;
    std::optional<RenderResult> result;
    std::uint32_t id = 0;  // the pool's id of the attempt under way
    bool abandoned = false;
};

// A segment's scratch file, and the counts of its pieces beside it.
void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
    fs::remove(ss::PieceCountsPath(path), ignored);
}

// A segment's samples are minutes of speech at the most; more is no file of ours.
constexpr std::uintmax_t kMaxScratchBytes = std::uintmax_t{1} << 30;

// The file's bytes as values of type T; false when it cannot be read whole.
template <typename T>
bool ReadValues(const std::string& path, std::vector<T>& values) {
    std::string bytes;
    if (text::ReadWholeFile(path, kMaxScratchBytes, bytes) != 0) return false;
    values.resize(bytes.size() / sizeof(T));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
    return true;
}

// The pieces' sample counts the segment's process wrote; none when they do not add up
// to the samples (a file of another build, or damaged).
std::vector<std::size_t> ReadCounts(const std::string& path, std::size_t samples) {
    std::vector<std::size_t> counts;
    std::size_t total = 0;
    if (!ReadValues(ss::PieceCountsPath(path), counts)) return {};
    for (const std::size_t count : counts) total += count;
    if (total != samples) return {};
    return counts;
}

bool ReadSamples(const std::string& path, std::vector<std::int16_t>& samples) {
    return ReadValues(path, samples);
}

// Hands one attempt at the segment to the pool; its id, 0 when not handed over.
std::uint32_t Submit(RenderPool& pool, const ss::SegmentWork& work, const std::string& path,
                     const std::atomic<bool>& stop, const std::shared_ptr<Outcome>& outcome) {
    FileWork file;
    file.outputPath = text::ToWide(path);
    file.segment = work;
    return pool.Submit(
        std::move(file), [&] { return !stop.load(); },
        [outcome, path](const RenderResult& result) {
            std::lock_guard lock(outcome->mutex);
            outcome->result = result;
            if (outcome->abandoned) RemoveFile(path);
            outcome->ended.notify_all();
        });
}

class HelperSegment final : public ss::SegmentSynthesis::Pending {
  public:
    HelperSegment(RenderPool& pool, std::string path, std::shared_ptr<Outcome> outcome)
        : pool_(pool), path_(std::move(path)), outcome_(std::move(outcome)) {}

    ~HelperSegment() override {
        {
            std::lock_guard lock(outcome_->mutex);
            if (!outcome_->result) {
                // Stopped, or the render ended early: the pool's report removes the file.
                outcome_->abandoned = true;
                pool_.Stop(outcome_->id);
                return;
            }
        }
        RemoveFile(path_);
    }

    ss::HResult Take(std::vector<std::int16_t>& samples, const std::atomic<bool>& stop,
                     std::vector<std::size_t>* pieceSamples) override {
        std::unique_lock lock(outcome_->mutex);
        while (!outcome_->result && !stop.load())
            outcome_->ended.wait_for(lock, std::chrono::milliseconds(10));
        if (!outcome_->result) return ss::kOk;
        const RenderResult result = *outcome_->result;
        // The pool has made one whose process died once more already.
        if (result.IsFailed()) return Fail(result);
        if (!ReadSamples(path_, samples)) return ss::kFail;
        if (pieceSamples != nullptr) *pieceSamples = ReadCounts(path_, samples.size());
        return ss::kOk;
    }

    // The failure's reason goes to standard error: the render reports only that its
    // speech failed.
    ss::HResult Fail(const RenderResult& result) {
        std::fprintf(stderr, "sonoleaf: a segment of a long render failed: %s\n",
                     text::ToNarrow(result.reason).c_str());
        return ss::kFail;
    }

  private:
    RenderPool& pool_;
    const std::string path_;
    const std::shared_ptr<Outcome> outcome_;
};

}  // namespace

void RemoveStaleScratchFolders(const std::string& temp) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temp, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix)) continue;
        // "<prefix><pid>-XXXXXX", made by mkdtemp.
        const std::string rest = name.substr(sizeof kScratchPrefix - 1);
        const std::size_t dash = rest.find('-');
        const std::string pid = rest.substr(0, dash);
        if (dash == std::string::npos || pid.empty() || pid.size() > 9 ||
            pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;  // another user's, or no folder: not ours to touch
        // Its program holds a lock on it while it lives, which the kernel lets go when
        // it dies: a pid, which the system gives out again, cannot tell.
        const text::UniqueDescriptor folder(
            ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder && ::flock(folder.Get(), LOCK_EX | LOCK_NB) == 0) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

void HelperSegments::Detach() {
    std::lock_guard lock(mutex_);
    helpers_ = nullptr;
}

RenderPool* HelperSegments::Pool() {
    std::lock_guard lock(mutex_);
    return helpers_ ? helpers_() : nullptr;
}

int HelperSegments::Slots() {
    RenderPool* pool = Pool();
    return pool != nullptr ? pool->Slots() : 0;
}

HelperSegments::~HelperSegments() {
    if (!scratch_.empty()) {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }
}

std::string HelperSegments::ScratchFolder() {
    std::lock_guard lock(mutex_);
    return scratch_;
}

std::string HelperSegments::NewScratchFile() {
    std::lock_guard lock(mutex_);
    if (scratch_.empty()) {
        std::error_code error;
        fs::path temp = fs::temp_directory_path(error);
        if (error) temp = "/tmp";
        RemoveStaleScratchFolders(temp.string());
        // A new folder of our own, whatever another user made in the shared folder. It
        // is locked before it takes the name that others look for, so that none takes
        // it for a dead program's in between.
        const std::string id = std::to_string(::getpid()) + "-XXXXXX";
        std::string making = (temp / ("sonoleaf-making-" + id)).string();
        if (::mkdtemp(making.data()) == nullptr) return {};
        text::UniqueDescriptor lock(::open(making.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const std::string folder =
            (temp / (kScratchPrefix + making.substr(making.size() - id.size()))).string();
        if (!lock || ::flock(lock.Get(), LOCK_EX) != 0 ||
            ::renameat2(AT_FDCWD, making.c_str(), AT_FDCWD, folder.c_str(), RENAME_NOREPLACE) !=
                0) {
            ::rmdir(making.c_str());
            return {};
        }
        scratch_ = folder;
        scratchLock_ = std::move(lock);
    }
    std::string path = scratch_ + "/segment-XXXXXX";
    const int file = ::mkostemp(path.data(), O_CLOEXEC);
    if (file < 0) return {};
    ::close(file);
    return path;
}

std::unique_ptr<ss::SegmentSynthesis::Pending> HelperSegments::Start(
    const ss::SegmentWork& work, const std::atomic<bool>& stop) {
    RenderPool* pool = Pool();
    if (pool == nullptr) return nullptr;
    std::string path = NewScratchFile();
    if (path.empty()) return nullptr;
    auto outcome = std::make_shared<Outcome>();
    const std::uint32_t id = Submit(*pool, work, path, stop, outcome);
    if (id == 0) {
        RemoveFile(path);
        return nullptr;
    }
    {
        std::lock_guard lock(outcome->mutex);
        outcome->id = id;
    }
    return std::make_unique<HelperSegment>(*pool, std::move(path), std::move(outcome));
}

}  // namespace sonoleaf::render
