#pragma once
// AAC-LC encoding of the engines' speech and the M4B container around it: all that
// the program asks of FFmpeg's libraries, behind types that speak in samples and
// bytes (only audiobook_codec.cpp includes FFmpeg's headers).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech/audiobook_tags.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

// Whether `bytes` decode whole, without damage, as one picture of that kind, by
// FFmpeg's own JPEG or PNG decoder: bytes that only start like a picture never reach
// an audiobook, which would fail on them. Pictures of more than 64 Mpixels are
// refused rather than decoded; a cover needs far fewer.
bool DecodesAsPicture(std::string_view bytes, CoverKind kind);

// The samples one AAC frame adds to the sound. The frames of a track lie on one grid:
// frame n (from 0) is decoded from the samples [1024 (n-1), 1024 (n+1)) of the
// track's sound, and together with frame n-1 yields the samples [1024 (n-1), 1024 n);
// frame 0 holds the 1,024 samples of silence ("priming") that every track opens with.
inline constexpr int kAacFrameSamples = 1024;

// Encoded AAC frames, one after another in `bytes`, their sizes in `sizes`.
struct AacFrames {
    std::vector<std::uint16_t> sizes;
    std::string bytes;

    std::size_t Count() const { return sizes.size(); }
    void Append(std::string_view frame) {
        sizes.push_back(static_cast<std::uint16_t>(frame.size()));
        bytes.append(frame);
    }
    void Clear() {
        sizes.clear();
        bytes.clear();
    }
};

// A fresh AAC-LC encoder: mono, kSampleRate, about 64 kbit/s, FFmpeg's fast coder.
// Fed n samples it makes ceil(n / 1024) + 1 frames on the grid above, the sound being
// silence before the first sample and after the last.
class AacEncoder {
  public:
    static HResult Create(std::unique_ptr<AacEncoder>& encoder);
    ~AacEncoder();
    AacEncoder(const AacEncoder&) = delete;
    AacEncoder& operator=(const AacEncoder&) = delete;

    // Appends the frames that these samples complete.
    HResult Write(std::span<const std::int16_t> samples, AacFrames& frames);
    // Appends the rest, the last frame padded with silence. Nothing can follow.
    HResult Finish(AacFrames& frames);
    // The AudioSpecificConfig that a container stores for the decoder.
    const std::string& DecoderConfig() const;
    // Why the last call failed, in FFmpeg's words.
    const std::string& Problem() const;

    struct State;

  private:
    AacEncoder();
    std::unique_ptr<State> state_;
};

// Writes an MP4 audiobook (major brand "M4B ", media type 2) into an open file: one
// AAC track, the cover as an attached picture, the tags, and the chapters both as a
// QuickTime chapter track and, up to 255 of them, as a Nero "chpl" list. The index
// goes at the end, so nothing is held back but the frames' table.
class M4bMuxer {
  public:
    // `descriptor`: an empty file opened for writing, left open; `decoderConfig` from
    // AacEncoder. The header is written at once.
    static HResult Open(int descriptor, const AudiobookTags& tags, const CoverImage* cover,
                        const std::string& decoderConfig, std::unique_ptr<M4bMuxer>& muxer,
                        std::string& problem);
    ~M4bMuxer();
    M4bMuxer(const M4bMuxer&) = delete;
    M4bMuxer& operator=(const M4bMuxer&) = delete;

    // The book's frames in order, from frame 0.
    HResult WriteFrame(std::string_view frame);
    std::int64_t FramesWritten() const;
    // Completes the file: the chapters (in order, the first at 0; titles past 255
    // bytes of UTF-8 cut short), and a length of exactly `samples`, the padding of the
    // last frame cut off. kInvalidArg when the frames do not fit that length.
    HResult Finish(const std::vector<ChapterMark>& chapters, std::int64_t samples);
    const std::string& Problem() const;

    struct State;

  private:
    M4bMuxer();
    std::unique_ptr<State> state_;
};

}  // namespace sonoleaf::speech_service
