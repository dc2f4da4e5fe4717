#pragma once
// One chapter of an audiobook as AAC frames, encoded on its own (in a process of its
// own) and joined to its neighbours later by AudiobookWriter; and the compact form in
// which it crosses from the process that made it to the one that writes the book.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/audiobook_codec.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/synthesis_engine.h"

namespace sonoleaf::speech_service {

// PCM kept at each edge of a chapter: enough for the writer to encode anew the few
// frames around a join, where each neighbour's encoder saw silence for the other.
inline constexpr std::int64_t kChapterEdgeSamples = 24 * kAacFrameSamples;
// Longer chapters are refused: 48 hours of speech.
inline constexpr std::int64_t kMaxChapterSamples = std::int64_t{kSampleRate} * 3600 * 48;
// No AAC frame of one channel comes near this.
inline constexpr std::size_t kMaxAacFrameBytes = 8192;

struct EncodedChapter {
    std::int64_t samples = 0;  // the PCM samples it holds
    // Where its first sample lies within an AAC frame: the book's samples before the
    // chapter, modulo 1024. The frames lie on the book's frame grid, so a chapter fits
    // only where the samples before it leave this remainder.
    int framePhase = 0;
    // ChapterFrameCount(framePhase, samples) frames; the first encodes framePhase
    // samples of silence before the chapter.
    AacFrames frames;
    // Up to 2 kChapterEdgeSamples samples: all of them in `head`. Longer: the first
    // and the last kChapterEdgeSamples.
    std::vector<std::int16_t> head;
    std::vector<std::int16_t> tail;
};

std::int64_t ChapterFrameCount(int framePhase, std::int64_t samples);

// Whether the parts of a chapter agree with each other; `reason` tells what does not.
HResult CheckChapter(const EncodedChapter& chapter, std::string* reason = nullptr);

std::string SerializeChapter(const EncodedChapter& chapter);

// Reads bytes from a scratch file as hostile: every count and size bounded, cut or
// damaged bytes detected (a checksum covers all), nothing allocated beyond what the
// bytes themselves hold. kInvalidArg with `reason` for anything that is not a whole
// chapter, which is then left empty.
HResult ParseChapter(std::string_view bytes, EncodedChapter& chapter,
                     std::string* reason = nullptr);

}  // namespace sonoleaf::speech_service
