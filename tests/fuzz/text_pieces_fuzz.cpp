// Any text handed to the synthesizer: cutting it into pieces ends, loses nothing but
// blanks, keeps the text's order, keeps every piece within its bound, never cuts a
// UTF-8 character apart and ends the last one as a sentence; markup is cut into a
// bounded number of pieces too.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_input.h"
#include "platform/speech/text_pieces.h"
#include "unicode_oracle.h"

namespace {

namespace fz = sonoleaf::fuzz;
using fz::Require;
using sonoleaf::speech_service::TextPiece;
using sonoleaf::speech_service::TextPieces;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool AllBlank(std::string_view text) {
    for (const char c : text)
        if (!IsBlank(c)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fz::Input input(data, size);
    // Short bounds reach every kind of cut with short inputs; the service's own bounds
    // are tried as well. Four bytes is the least that holds any character.
    const std::uint8_t first = input.Byte();
    const std::uint8_t second = input.Byte();
    const bool ownBounds = (first & 0x80) != 0;
    const std::size_t minLength = ownBounds ? 240 : first % 64;
    const std::size_t maxLength = ownBounds ? 1000 : 4 + second % 124;
    const std::string_view text = input.Rest();
    const bool ssml = TextPieces::LooksLikeMarkup(text);

    TextPieces pieces(text, ssml, minLength, maxLength);
    TextPiece piece;
    std::size_t count = 0;
    std::size_t position = 0;
    while (pieces.Next(piece)) {
        // Every piece takes at least one byte of the text, so the cutting ends.
        Require(++count <= text.size());
        Require(!piece.text.empty());
        if (ssml) continue;
        Require(!AllBlank(piece.text));
        Require(piece.text.size() <= (maxLength > minLength ? maxLength : minLength));
        // The piece is the next stretch of the text; only blanks lie between.
        const std::size_t at = text.find(piece.text, position);
        Require(at != std::string_view::npos && AllBlank(text.substr(position, at - position)));
        if (fz::IsValidUtf8(text)) Require(fz::IsValidUtf8(piece.text));
        position = at + piece.text.size();
        // The piece that reaches the end of the text ends a sentence there.
        if (position == text.size()) Require(piece.endsSentence);
    }
    if (!ssml) Require(AllBlank(text.substr(position)));
    return 0;
}
