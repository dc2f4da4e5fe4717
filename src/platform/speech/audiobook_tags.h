#pragma once
// What an audiobook file carries besides its sound: the tags a player shows, the
// cover picture, and where its chapters begin.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/speech/speech_service.h"

namespace sonoleaf::speech_service {

struct AudiobookTags {
    std::u16string title;   // the book's title, else the file's stem
    std::u16string album;   // the same, as players group books by album
    std::u16string artist;  // the author, when known
    std::u16string genre = u"Audiobook";
    std::u16string comment;  // the voice
    std::string coverPath;   // a JPEG or PNG file; empty for none
};

struct ChapterMark {
    std::u16string title;
    std::int64_t startSample = 0;  // in the book's samples, from its first
};

enum class CoverKind { Jpeg, Png };

struct CoverImage {
    CoverKind kind = CoverKind::Jpeg;
    int width = 0;  // as its header says; the container records them
    int height = 0;
    std::string bytes;
};

// Covers larger than this are refused rather than read into memory.
inline constexpr std::uintmax_t kMaxCoverBytes = std::uintmax_t{32} << 20;

// Reads a cover picture, recognised by its content (not its name) as JPEG or PNG
// with its size in its header: kFileNotFound, kAccessDenied, kOutOfMemory past
// kMaxCoverBytes, or kInvalidArg for anything else.
HResult ReadCoverImage(const std::string& path, CoverImage& cover);

}  // namespace sonoleaf::speech_service
