#pragma once
// One chapter of an audiobook written by a process of its own: its speech encoded as it
// comes (from a fresh encoder, for a place on the book's frame grid at 0) and kept as
// an encoded chapter in the file (see encoded_chapter.h) for the process that writes
// the book. The file grows with the speech, so that a watcher sees it at work, and
// holds the whole chapter once closed.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/speech/chapter_encoder.h"
#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

// The ending of a chapter file's name, which makes a file stream write one.
inline constexpr char kChapterFileExtension[] = ".chapter";

class ChapterFile {
  public:
    // Takes an empty file opened for writing; closes it when destroyed.
    static HResult Open(int descriptor, std::unique_ptr<ChapterFile>& file);
    ~ChapterFile();
    ChapterFile(const ChapterFile&) = delete;
    ChapterFile& operator=(const ChapterFile&) = delete;

    HResult Write(std::span<const std::int16_t> samples);
    // Writes the encoded chapter; kFalse (and the file left empty) for one without sound.
    HResult Close();
    std::int64_t Samples() const { return samples_; }

    static bool IsChapterPath(const std::string& path);

  private:
    explicit ChapterFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
    std::unique_ptr<ChapterEncoder> encoder_;
    std::int64_t samples_ = 0;
};

}  // namespace sonoleaf::speech_service
