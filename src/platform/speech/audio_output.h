#pragma once
// Where a voice's samples go while it speaks: the default audio device or a file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // How many samples one Write should take at most, so that a pause is noticed
    // between two writes soon enough.
    virtual std::size_t SliceSamples() const = 0;
    virtual HResult Write(std::span<const std::int16_t> samples) = 0;
    // All was written: let it play to its end.
    virtual HResult Finish() = 0;
    // Stopped: drop what has not been heard yet.
    virtual void Discard() = 0;
    // An audiobook's next chapter starts with the next sample; no other output has any.
    virtual void StartChapter(const std::u16string& /*title*/) {}
    // The piece of speech whose samples are written next, for subtitles; only a file
    // that wants them takes it.
    virtual bool WantsPieceNotes() const { return false; }
    virtual void NotePiece(std::string /*text*/, std::span<const std::int16_t> /*samples*/,
                           std::size_t /*offset*/) {}
};

}  // namespace sonoleaf::speech_service
