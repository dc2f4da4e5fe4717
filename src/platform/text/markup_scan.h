#pragma once
// How markup (SSML) is read, the one way every part reads it: the speech service's
// pieces, both synthesizers, the pronunciation rules and the subtitles. Where a tag or
// a character reference lies, and the words the markup holds.

#include <cstddef>
#include <string>
#include <string_view>

namespace sonoleaf::text {

// True when the first character that is not blank is "<" (TextPieces::LooksLikeMarkup).
bool LooksLikeMarkup(std::string_view text);

// Length of the tag, comment or declaration at `pos` ("<...>", quotes respected, at
// most 4 KiB as TextPieces reads them); 0 when the "<" there opens none.
std::size_t MarkupTagLength(std::string_view text, std::size_t pos);

// Length of the character reference at `pos` ("&amp;", "&#233;", "&#xE9;"); 0 if none.
std::size_t CharacterReferenceLength(std::string_view text, std::size_t pos);

// The words of a markup text: every tag left out (each leaves a blank, so that words on
// either side stay apart) and the character references decoded. What a synthesizer
// without markup of its own (Flite) is given, and what a subtitle shows.
std::string MarkupToPlainText(std::string_view markup);

}  // namespace sonoleaf::text
