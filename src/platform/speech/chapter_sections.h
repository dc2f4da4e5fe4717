#pragma once
// A text rendered into an audiobook, cut where its "<title>" ... "</title>" passages
// begin: each passage starts a chapter titled by its first line, and what follows it
// up to the next passage belongs to it. The tags themselves are not spoken.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::speech_service {

// Chapter titles are cut to this many characters.
inline constexpr std::size_t kMaxChapterTitle = 100;

struct ChapterSection {
    std::string text;      // what is spoken, UTF-8
    std::u16string title;  // empty for the text before the first passage
    std::size_t end = 0;   // where the section ends in the whole text
};

// One section without a title when the text holds no passage.
std::vector<ChapterSection> SplitAtTitles(std::string_view text);

// A passage's first line, blanks trimmed, at most kMaxChapterTitle characters.
std::u16string ChapterTitle(std::string_view passage);

}  // namespace sonoleaf::speech_service
