#pragma once
// Writes 22,050 Hz 16-bit mono PCM into a WAV file whose header is valid after every
// write. The format chunk is plain PCM (format tag 1, no extra bytes). A JUNK chunk
// reserves room for RF64's 64-bit sizes, so that a file passing 4 GiB (about 27 hours
// of speech) turns into RF64 in place and keeps every sample, while every shorter
// file stays the plain WAV that every reader takes.

#include <cstdint>
#include <span>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class WaveFileWriter {
  public:
    // Takes the descriptor of an empty file opened for writing; closes it when
    // destroyed. The header of the empty file is written at once.
    explicit WaveFileWriter(int descriptor);
    ~WaveFileWriter();
    WaveFileWriter(const WaveFileWriter&) = delete;
    WaveFileWriter& operator=(const WaveFileWriter&) = delete;

    // kOk, or the failure of the file system (an errno value in `error`); after a
    // failure the file holds the whole samples that were written, under a header
    // that counts exactly those.
    HResult Write(std::span<const std::int16_t> samples, int& error);
    // Whether the header of the empty file could be written.
    bool Ready() const { return ready_; }
    std::uint64_t DataBytes() const { return dataBytes_; }

    // Bytes before the samples.
    static constexpr std::uint64_t kHeaderBytes = 80;

    // Continues a file as if `dataBytes` of samples were already there (a long book
    // in a test without writing it). Only for a writer that has written nothing yet.
    HResult SkipAhead(std::uint64_t dataBytes, int& error);

  private:
    // False with the file system's own error in `error` (ENOSPC for a short write).
    bool WriteHeader(int& error);

    int descriptor_;
    std::uint64_t dataBytes_ = 0;
    bool ready_ = false;
};

}  // namespace sonoleaf::speech_service
