#pragma once
// Encodes one chapter of an audiobook from a fresh AAC encoder, as a process of its
// own does while (or after) its speech is made, into an EncodedChapter that the
// process writing the book joins to the others. The frames stay in memory until
// Finish: about 8 KB for each second of speech.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/speech/audiobook_codec.h"
#include "platform/speech/encoded_chapter.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class ChapterEncoder {
  public:
    // `startSample`: the book's samples before this chapter. Only its remainder
    // modulo kAacFrameSamples shapes the frames, so chapters whose lengths are all
    // multiples of it can each be encoded with 0 before the others' lengths are known.
    static HResult Create(std::int64_t startSample, std::unique_ptr<ChapterEncoder>& encoder);
    ~ChapterEncoder();
    ChapterEncoder(const ChapterEncoder&) = delete;
    ChapterEncoder& operator=(const ChapterEncoder&) = delete;

    // 22,050 Hz 16-bit mono samples, in as many calls as convenient.
    HResult Write(std::span<const std::int16_t> samples);
    // The chapter, once every sample was written; kInvalidArg for a chapter without
    // samples. Nothing can be written after.
    HResult Finish(EncodedChapter& chapter);
    const std::string& Problem() const;

  private:
    ChapterEncoder() = default;

    std::unique_ptr<AacEncoder> encoder_;
    EncodedChapter chapter_;
    // The latest kChapterEdgeSamples samples, a ring from `ringAt_` once full.
    std::vector<std::int16_t> ring_;
    std::size_t ringAt_ = 0;
    bool finished_ = false;
};

}  // namespace sonoleaf::speech_service
