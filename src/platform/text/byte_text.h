#pragma once
// Text files read one byte per character, and the decoding of text for synthesis.

#include <string>
#include <string_view>

namespace sonoleaf::text {

// One character per byte: 0-127 as ASCII, 128-255 as U+DC80-U+DCFF (reversible).
char16_t ByteToChar(unsigned char byte);
std::u16string BytesToText(std::string_view bytes);

// Inverse of BytesToText for such text; other characters are encoded as UTF-8.
std::string TextToBytes(std::u16string_view text);

// Decodes the bytes of a text file: a byte-order mark chooses UTF-8, UTF-16LE or
// UTF-16BE; without one, UTF-8 where the bytes are valid UTF-8, else Windows-1252.
std::u16string DecodeTextFile(std::string_view bytes);

// Wide text as it reaches the synthesizer, in UTF-8: runs of byte characters
// (U+DC80-U+DCFF) are turned back into their bytes and decoded as UTF-8 when valid,
// dropping a multi-byte character split at either end, else as Windows-1252.
// Unpaired surrogates and NUL characters never reach the synthesizer.
std::string TextForSynthesis(std::u16string_view text);

}  // namespace sonoleaf::text
