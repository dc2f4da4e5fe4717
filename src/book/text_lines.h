#pragma once
// Lines of book text: white space collapsed as a reader sees it, titles compared as a
// listener hears them, and the literal title tags kept out of a book's own words.

#include <cstddef>
#include <string>
#include <string_view>

namespace sonoleaf::book {

// ASCII letters in lower case, every other byte as it is, whatever the C locale says.
inline char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline bool IsAsciiAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Appends UTF-8 `text` to `line` with every run of white space (no-break and other
// Unicode spaces too) as one blank, none at the line's start; invisible characters
// (soft hyphen, zero-width space) and control characters are left out. `pendingSpace`
// carries a run of white space from one call to the next.
void AppendCollapsed(std::string& line, std::string_view text, bool& pendingSpace);

// `text` as one line, white space collapsed and trimmed.
std::string CollapseSpaces(std::string_view text);

// Letters and digits only, ASCII in lower case: what tells two titles apart aloud.
std::string Comparable(std::string_view text);

// At most `maxBytes` of a line, cut at a blank where there is one, never inside a
// character.
std::string ShortLine(std::string_view line, std::size_t maxBytes);

// A name taken from a book, as a message may show it: one line, bounded.
inline std::string ShownName(std::string_view name) {
    return ShortLine(CollapseSpaces(name), 200);
}

// The literal "<title>" and "</title>" (in any case) with the angle brackets replaced,
// so that a book's own words never open or close a passage of a title list.
void NeutraliseTitleTags(std::string& text);

}  // namespace sonoleaf::book
