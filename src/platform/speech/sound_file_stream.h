#pragma once
// A file stream of the real service: WAV (PCM, 22,050 Hz, 16-bit, mono), or MP3 of
// the same audio when the file name ends in ".mp3", an audiobook (AAC in M4B) when it
// ends in ".m4b", and one encoded chapter of an audiobook when it ends in ".chapter". The file is
// written as samples arrive, and a WAV header is brought up to date after every write, so the file
// is valid whenever the writing stops. A WAV that grows past 4 GiB becomes RF64, so that a long
// book keeps every sample; below that it stays a plain WAV. Safe to use from several threads.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/speech/path_claim.h"
#include "platform/speech/piece_notes.h"
#include "platform/speech/speech_service.h"
#include "platform/speech/wave_file_writer.h"

struct sf_private_tag;

namespace sonoleaf::speech_service {

class AudiobookFileStream;
class ChapterFile;

class SoundFileStream final : public FileStream {
  public:
    SoundFileStream();
    ~SoundFileStream() override;  // completes an open file

    HResult BindToFile(const std::u16string& path, int fileMode, StreamFormatId formatId,
                       const WaveFormat* format, std::uint64_t eventInterest) override;
    HResult SetTags(const FileTags& tags) override;
    HResult SetSubtitles(SubtitleFormat format) override;
    HResult Close() override;

    // kUnbound when no file is open; kWriteFault when the file took less than all.
    HResult Write(std::span<const std::int16_t> samples);
    // An audiobook's next chapter, titled `title`, starts with the next sample; other
    // files have no chapters.
    HResult StartChapter(const std::u16string& title);
    bool IsAudiobook() const;
    // Whether the file's speech is to be noted piece by piece, for its subtitles.
    bool WantsPieceNotes() const;
    // A piece whose samples are written next, `offset` samples on: `text` its words,
    // `samples` its sound.
    void NotePiece(std::string text, std::span<const std::int16_t> samples, std::size_t offset);
    bool IsBound() const;

    // Whether a path names an MP3 file: its name ends in ".mp3", in any letter case.
    static bool IsMp3Path(const std::string& path);

    // Continues a WAV file just bound as if it held `dataBytes` of samples already,
    // without writing them: a long book's end, in a test.
    HResult SkipAhead(std::uint64_t dataBytes);

  private:
    struct Closer {
        void operator()(sf_private_tag* file) const;
    };
    // `completed`: Close was called; otherwise the stream was released after a
    // failure, and a file without a sample is removed.
    HResult CloseLocked(bool completed);
    HResult WriteLocked(std::span<const std::int16_t> samples);
    void WriteSubtitles();
    bool OpenMp3(int descriptor);
    bool OpenWave(int descriptor);

    mutable std::mutex mutex_;
    std::unique_ptr<sf_private_tag, Closer> file_;  // MP3
    std::unique_ptr<WaveFileWriter> wave_;          // WAV
    std::unique_ptr<ChapterFile> chapter_;          // one chapter of an audiobook
    std::unique_ptr<AudiobookFileStream> book_;     // an audiobook
    bool writeFailed_ = false;
    std::string name_;
    bool mp3_ = false;
    bool wroteSamples_ = false;
    std::optional<PathClaim> claim_;  // held from binding until the file is closed
    SubtitleFormat subtitles_ = SubtitleFormat::None;
    std::vector<PieceNote> notes_;
    std::int64_t samples_ = 0;  // written so far
};

}  // namespace sonoleaf::speech_service
