#pragma once
// What each piece of speech in an audio file was: its words and where its sound lies
// among the file's samples. A file's subtitles are made from these notes; a chapter
// made in a process of its own keeps them beside it (a ".cues" file) for the process
// that joins the chapters into a book and writes the book's subtitles.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/subtitles.h"

namespace sonoleaf::speech_service {

struct PieceNote {
    std::string text;        // the words, plain
    std::int64_t start = 0;  // the file's sample where the piece's samples begin
    text::SoundSpan span;    // its sound, from `start`
};

// The notes' file beside a chapter file: the same name with ".cues" for its ending.
std::string CuesPathFor(const std::string& chapterPath);

std::string FormatPieceNotes(const std::vector<PieceNote>& notes);
// Empty when the bytes are not such notes (bounded: at most a million notes).
std::optional<std::vector<PieceNote>> ParsePieceNotes(std::string_view bytes);

}  // namespace sonoleaf::speech_service
