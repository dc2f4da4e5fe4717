#include "speech/render_segments.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "platform/text/text_convert.h"
#include "speech/render_pool.h"
#include "speech/speech_engine.h"

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
    bool abandoned = false;
};

void RemoveFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

constexpr char kScratchPrefix[] = "sonoleaf-segments-";

// Removes the scratch folders of programs that ended without removing their own (a
// crash, a kill): a folder is named after its program's process id.
void RemoveStaleScratchFolders(const fs::path& temp) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temp, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kScratchPrefix)) continue;
        const std::string pid = name.substr(sizeof kScratchPrefix - 1);
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
}

bool ReadSamples(const std::string& path, std::vector<std::int16_t>& samples) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) return false;
    samples.resize(static_cast<std::size_t>(size / sizeof(std::int16_t)));
    const auto bytes = static_cast<std::streamsize>(samples.size() * sizeof(std::int16_t));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(samples.data()), bytes);
    return in.gcount() == bytes;
}

class HelperSegment final : public ss::SegmentSynthesis::Pending {
  public:
    HelperSegment(RenderPool& pool, std::uint32_t id, std::string path,
                  std::shared_ptr<Outcome> outcome)
        : pool_(pool), id_(id), path_(std::move(path)), outcome_(std::move(outcome)) {}

    ~HelperSegment() override {
        {
            std::lock_guard lock(outcome_->mutex);
            if (!outcome_->result) {
                // Stopped, or the render ended early: the pool's report removes the file.
                outcome_->abandoned = true;
                pool_.Stop(id_);
                return;
            }
        }
        RemoveFile(path_);
    }

    ss::HResult Take(std::vector<std::int16_t>& samples, const std::atomic<bool>& stop) override {
        std::unique_lock lock(outcome_->mutex);
        while (!outcome_->result && !stop.load())
            outcome_->ended.wait_for(lock, std::chrono::milliseconds(10));
        if (!outcome_->result) return ss::kOk;
        if (outcome_->result->IsFailed()) return ss::kFail;
        return ReadSamples(path_, samples) ? ss::kOk : ss::kFail;
    }

  private:
    RenderPool& pool_;
    const std::uint32_t id_;
    const std::string path_;
    const std::shared_ptr<Outcome> outcome_;
};

}  // namespace

void HelperSegments::Detach() {
    std::lock_guard lock(mutex_);
    engine_ = nullptr;
}

int HelperSegments::Slots() {
    std::lock_guard lock(mutex_);
    RenderPool* pool = engine_ != nullptr ? engine_->RenderHelpers() : nullptr;
    return pool != nullptr ? pool->Slots() : 0;
}

HelperSegments::~HelperSegments() {
    if (!scratch_.empty()) {
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
    }
}

std::string HelperSegments::NewScratchFile() {
    std::lock_guard lock(mutex_);
    if (scratch_.empty()) {
        std::error_code error;
        fs::path temp = fs::temp_directory_path(error);
        if (error) temp = "/tmp";
        RemoveStaleScratchFolders(temp);
        const fs::path folder = temp / (kScratchPrefix + std::to_string(::getpid()));
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
        scratch_ = folder.string();
    }
    std::string path = scratch_ + "/segment-XXXXXX";
    const int file = ::mkostemp(path.data(), O_CLOEXEC);
    if (file < 0) return {};
    ::close(file);
    return path;
}

std::unique_ptr<ss::SegmentSynthesis::Pending> HelperSegments::Start(
    const ss::SegmentWork& work, const std::atomic<bool>& stop) {
    RenderPool* pool = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (engine_ != nullptr) pool = engine_->RenderHelpers();
    }
    if (pool == nullptr) return nullptr;
    std::string path = NewScratchFile();
    if (path.empty()) return nullptr;
    FileWork file;
    file.outputPath = text::ToWide(path);
    file.segment = work;
    auto outcome = std::make_shared<Outcome>();
    const std::uint32_t id = pool->Submit(
        std::move(file), [&] { return !stop.load(); },
        [outcome, path](const RenderResult& result) {
            std::lock_guard lock(outcome->mutex);
            outcome->result = result;
            if (outcome->abandoned) RemoveFile(path);
            outcome->ended.notify_all();
        });
    if (id == 0) {
        RemoveFile(path);
        return nullptr;
    }
    return std::make_unique<HelperSegment>(*pool, id, std::move(path), std::move(outcome));
}

}  // namespace sonoleaf::render
