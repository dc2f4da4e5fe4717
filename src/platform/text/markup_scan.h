#pragma once
// How the text units read markup (SSML) the way the speech service's TextPieces
// does: where a tag or a character reference lies, so that they can be passed over.

#include <cstddef>
#include <string_view>

namespace sonoleaf::text {

// True when the first character that is not blank is "<" (TextPieces::LooksLikeMarkup).
bool LooksLikeMarkup(std::string_view text);

// Length of the tag, comment or declaration at `pos` ("<...>", quotes respected, at
// most 4 KiB as TextPieces reads them); 0 when the "<" there opens none.
std::size_t MarkupTagLength(std::string_view text, std::size_t pos);

// Length of the character reference at `pos` ("&amp;", "&#233;", "&#xE9;"); 0 if none.
std::size_t CharacterReferenceLength(std::string_view text, std::size_t pos);

}  // namespace sonoleaf::text
