#pragma once
// A file stream of the real service for names ending in ".m4b": one render's speech
// written as an audiobook (AAC-LC in MP4, tagged, with chapters), encoded as it comes
// by one encoder. The file grows under a temporary name beside its own and takes its
// name when closed, so that the name only ever holds a whole audiobook. Safe to use
// from several threads.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/speech/audiobook_codec.h"
#include "platform/speech/audiobook_tags.h"
#include "platform/speech/replacing_file.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

class AudiobookFileStream final : public FileStream {
  public:
    AudiobookFileStream() = default;
    // As for every file stream: a file that holds samples is completed (a stopped
    // render leaves a shorter audiobook), one that holds none is not left behind.
    ~AudiobookFileStream() override;

    HResult BindToFile(const std::u16string& path, int fileMode, StreamFormatId formatId,
                       const WaveFormat* format, std::uint64_t eventInterest) override;
    // Before the first sample. The title defaults to the file's stem, the album to the
    // title; the track is not used. A cover that cannot be read is left out (its
    // failure is returned) while the other tags are kept.
    HResult SetTags(const FileTags& tags) override;
    // Completes the file and gives it its name; a file without a sample is not kept.
    HResult Close() override;

    // kUnbound when no file is open; a failure of encoding or writing ends the file,
    // which is then not kept.
    HResult Write(std::span<const std::int16_t> samples);
    bool IsBound() const;
    // A chapter titled `title` begins with the next sample. Called again before that
    // sample, it renames the chapter. Sound before the first chapter is a chapter
    // titled as the book.
    HResult StartChapter(const std::u16string& title);
    // Why the last failure happened, when FFmpeg said.
    std::string Problem() const;

    // Whether a path names an audiobook: its name ends in ".m4b", in any letter case.
    static bool IsM4bPath(const std::string& path);

  private:
    HResult CloseLocked();
    HResult OpenMuxer();
    HResult WriteFrames();

    mutable std::mutex mutex_;
    std::unique_ptr<ReplacingFile> file_;
    std::unique_ptr<AacEncoder> encoder_;
    std::unique_ptr<M4bMuxer> muxer_;  // from the first sample on
    AacFrames frames_;                 // made and not yet written
    AudiobookTags tags_;
    std::optional<CoverImage> cover_;
    std::vector<ChapterMark> marks_;
    std::int64_t samples_ = 0;
    HResult failure_ = kOk;
    std::string problem_;
};

}  // namespace sonoleaf::speech_service
