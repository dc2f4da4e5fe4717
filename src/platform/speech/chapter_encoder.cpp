#include "platform/speech/chapter_encoder.h"

#include <algorithm>

namespace sonoleaf::speech_service {

ChapterEncoder::~ChapterEncoder() = default;

HResult ChapterEncoder::Create(std::int64_t startSample, std::unique_ptr<ChapterEncoder>& encoder) {
    encoder.reset();
    if (startSample < 0) return kInvalidArg;
    std::unique_ptr<ChapterEncoder> made(new ChapterEncoder());
    if (const HResult hr = AacEncoder::Create(made->encoder_); Failed(hr)) return hr;
    made->chapter_.framePhase = static_cast<int>(startSample % kAacFrameSamples);
    // The frames lie on the book's grid: the part of the first frame before the
    // chapter is silence here, and the writer encodes it anew with the real sound.
    const std::vector<std::int16_t> lead(static_cast<std::size_t>(made->chapter_.framePhase), 0);
    if (const HResult hr = made->encoder_->Write(lead, made->chapter_.frames); Failed(hr))
        return hr;
    made->ring_.reserve(static_cast<std::size_t>(kChapterEdgeSamples));
    encoder = std::move(made);
    return kOk;
}

HResult ChapterEncoder::Write(std::span<const std::int16_t> samples) {
    if (finished_) return kUnbound;
    if (chapter_.samples + static_cast<std::int64_t>(samples.size()) > kMaxChapterSamples)
        return kOutOfMemory;
    if (const HResult hr = encoder_->Write(samples, chapter_.frames); Failed(hr)) return hr;
    chapter_.samples += static_cast<std::int64_t>(samples.size());
    // The head keeps up to twice the edge, so that a short chapter keeps every sample.
    const auto headRoom = static_cast<std::size_t>(2 * kChapterEdgeSamples) - chapter_.head.size();
    const std::size_t toHead = std::min(headRoom, samples.size());
    chapter_.head.insert(chapter_.head.end(), samples.begin(), samples.begin() + toHead);
    const auto edge = static_cast<std::size_t>(kChapterEdgeSamples);
    for (const std::size_t n = std::min(edge, samples.size());
         const std::int16_t sample : samples.last(n)) {
        if (ring_.size() < edge) {
            ring_.push_back(sample);
        } else {
            ring_[ringAt_] = sample;
            ringAt_ = (ringAt_ + 1) % edge;
        }
    }
    return kOk;
}

HResult ChapterEncoder::Finish(EncodedChapter& chapter) {
    if (finished_) return kUnbound;
    finished_ = true;
    if (chapter_.samples == 0) return kInvalidArg;
    if (const HResult hr = encoder_->Finish(chapter_.frames); Failed(hr)) return hr;
    if (chapter_.samples > 2 * kChapterEdgeSamples) {
        chapter_.head.resize(static_cast<std::size_t>(kChapterEdgeSamples));
        std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(ringAt_),
                    ring_.end());
        chapter_.tail = std::move(ring_);
    }
    if (const HResult hr = CheckChapter(chapter_); Failed(hr)) return kFail;
    chapter = std::move(chapter_);
    chapter_ = {};
    return kOk;
}

const std::string& ChapterEncoder::Problem() const {
    return encoder_->Problem();
}

}  // namespace sonoleaf::speech_service
