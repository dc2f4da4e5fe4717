#include "platform/speech/chapter_file.h"

#include <unistd.h>

#include <cerrno>

#include "platform/speech/encoded_chapter.h"
#include "platform/speech/errno_result.h"

namespace sonoleaf::speech_service {
namespace {

// While it is made, a chapter file's length is an eighth of its samples (about its
// encoded size), brought up to date every so many samples: its growth tells a watcher
// that the speech goes on.
constexpr std::int64_t kSamplesPerByte = 8;
constexpr std::int64_t kGrowthEvery = 4096;

}  // namespace

bool ChapterFile::IsChapterPath(const std::string& path) {
    const std::string_view ending = kChapterFileExtension;
    return path.size() > ending.size() && path.ends_with(ending);
}

HResult ChapterFile::Open(int descriptor, std::unique_ptr<ChapterFile>& file) {
    std::unique_ptr<ChapterFile> made(new ChapterFile(descriptor));
    if (const HResult hr = ChapterEncoder::Create(0, made->encoder_); Failed(hr)) return hr;
    file = std::move(made);
    return kOk;
}

ChapterFile::~ChapterFile() {
    ::close(descriptor_);
}

HResult ChapterFile::Write(std::span<const std::int16_t> samples) {
    if (!encoder_) return kUnbound;
    if (const HResult hr = encoder_->Write(samples); Failed(hr)) return hr;
    const std::int64_t before = samples_ / kGrowthEvery;
    samples_ += static_cast<std::int64_t>(samples.size());
    if (samples_ / kGrowthEvery != before &&
        ::ftruncate(descriptor_, static_cast<off_t>(samples_ / kSamplesPerByte)) != 0)
        return ResultFromErrno(errno);
    return kOk;
}

HResult ChapterFile::Close() {
    if (!encoder_) return kUnbound;
    const std::unique_ptr<ChapterEncoder> encoder = std::move(encoder_);
    if (::ftruncate(descriptor_, 0) != 0) return ResultFromErrno(errno);
    if (samples_ == 0) return kFalse;
    EncodedChapter chapter;
    if (const HResult hr = encoder->Finish(chapter); Failed(hr)) return hr;
    const std::string bytes = SerializeChapter(chapter);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(descriptor_, bytes.data() + done, bytes.size() - done,
                                       static_cast<off_t>(done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return wrote < 0 ? ResultFromErrno(errno) : kWriteFault;
        done += static_cast<std::size_t>(wrote);
    }
    return ::fdatasync(descriptor_) == 0 ? kOk : ResultFromErrno(errno);
}

}  // namespace sonoleaf::speech_service
