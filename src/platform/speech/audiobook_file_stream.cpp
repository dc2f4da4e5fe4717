#include "platform/speech/audiobook_file_stream.h"

#include <filesystem>

#include "platform/speech/stream_checks.h"
#include "platform/speech/synthesis_engine.h"
#include "platform/text/text_convert.h"

namespace sonoleaf::speech_service {
namespace {}  // namespace

AudiobookFileStream::~AudiobookFileStream() {
    std::lock_guard lock(mutex_);
    CloseLocked();
}

bool AudiobookFileStream::IsM4bPath(const std::string& path) {
    return HasEnding(path, ".m4b");
}

HResult AudiobookFileStream::BindToFile(const std::u16string& path, int fileMode,
                                        StreamFormatId formatId, const WaveFormat* format,
                                        std::uint64_t /*eventInterest*/) {
    if (const HResult hr = CheckBindArguments(path, fileMode, formatId, format); Failed(hr))
        return hr;
    const std::string name = text::ToNarrow(path);
    std::lock_guard lock(mutex_);
    CloseLocked();
    std::unique_ptr<AacEncoder> encoder;
    if (const HResult hr = AacEncoder::Create(encoder); Failed(hr)) return hr;
    if (const HResult hr = ReplacingFile::Create(name, file_); Failed(hr)) return hr;
    encoder_ = std::move(encoder);
    tags_ = {};
    tags_.title = std::filesystem::path(path).stem().u16string();
    tags_.album = tags_.title;
    cover_.reset();
    marks_.clear();
    samples_ = 0;
    failure_ = kOk;
    problem_.clear();
    return kOk;
}

HResult AudiobookFileStream::SetTags(const FileTags& tags) {
    std::lock_guard lock(mutex_);
    if (!file_) return kUnbound;
    if (muxer_) return kFail;  // the tags go into the header, before the first sample
    if (!tags.title.empty()) tags_.title = tags.title;
    tags_.album = tags.album.empty() ? tags_.title : tags.album;
    tags_.artist = tags.artist;
    tags_.genre = tags.genre.empty() ? AudiobookTags{}.genre : tags.genre;
    tags_.comment = tags.comment;
    cover_.reset();
    if (tags.coverPath.empty()) return kOk;
    CoverImage cover;
    const HResult hr = ReadCoverImage(text::ToNarrow(tags.coverPath), cover);
    if (Succeeded(hr)) cover_ = std::move(cover);
    return hr;
}

bool AudiobookFileStream::IsBound() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

std::string AudiobookFileStream::Problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

HResult AudiobookFileStream::StartChapter(const std::u16string& title) {
    std::lock_guard lock(mutex_);
    if (!file_) return kUnbound;
    if (!marks_.empty() && marks_.back().startSample == samples_) {
        marks_.back().title = title;
    } else {
        marks_.push_back({title, samples_});
    }
    return kOk;
}

HResult AudiobookFileStream::OpenMuxer() {
    std::string why;
    const HResult hr = M4bMuxer::Open(file_->Descriptor(), tags_, cover_ ? &*cover_ : nullptr,
                                      encoder_->DecoderConfig(), muxer_, why);
    if (Failed(hr)) problem_ = why;
    return hr;
}

HResult AudiobookFileStream::WriteFrames() {
    std::size_t offset = 0;
    HResult hr = kOk;
    for (const auto size : frames_.sizes) {
        if (Succeeded(hr)) hr = muxer_->WriteFrame({frames_.bytes.data() + offset, size});
        offset += size;
    }
    frames_.Clear();
    if (Failed(hr)) problem_ = muxer_->Problem();
    return hr;
}

HResult AudiobookFileStream::Write(std::span<const std::int16_t> samples) {
    std::lock_guard lock(mutex_);
    if (!file_) return kUnbound;
    if (Failed(failure_)) return failure_;
    HResult hr = muxer_ ? kOk : OpenMuxer();
    if (Succeeded(hr)) {
        hr = encoder_->Write(samples, frames_);
        if (Failed(hr)) problem_ = encoder_->Problem();
    }
    if (Succeeded(hr)) hr = WriteFrames();
    if (Failed(hr)) {
        failure_ = hr;
        return hr;
    }
    samples_ += static_cast<std::int64_t>(samples.size());
    return kOk;
}

HResult AudiobookFileStream::CloseLocked() {
    if (!file_) return kOk;
    HResult hr = failure_;
    if (Succeeded(hr) && samples_ > 0) {
        hr = encoder_->Finish(frames_);
        if (Failed(hr)) problem_ = encoder_->Problem();
        if (Succeeded(hr)) hr = WriteFrames();
        // Chapters started at the very end hold no sound, and the opening is the book's.
        while (!marks_.empty() && marks_.back().startSample >= samples_) marks_.pop_back();
        if (marks_.empty() || marks_.front().startSample > 0)
            marks_.insert(marks_.begin(), {tags_.title, 0});
        if (Succeeded(hr)) {
            hr = muxer_->Finish(marks_, samples_);
            if (Failed(hr)) problem_ = muxer_->Problem();
        }
        muxer_.reset();
        if (Succeeded(hr)) hr = file_->Commit();
    }
    // A file that failed, or holds no sample, is removed with its temporary name.
    muxer_.reset();
    file_.reset();
    encoder_.reset();
    frames_.Clear();
    return hr;
}

HResult AudiobookFileStream::Close() {
    std::lock_guard lock(mutex_);
    return CloseLocked();
}

}  // namespace sonoleaf::speech_service
