#include "platform/text/byte_text.h"

#include "platform/text/unicode.h"

namespace sonoleaf::text {
namespace {

constexpr char16_t kFirstByteChar = 0xDC80;
constexpr char16_t kLastByteChar = 0xDCFF;

bool IsByteChar(char32_t unit) {
    return unit >= kFirstByteChar && unit <= kLastByteChar;
}

// One piece of wide text as the synthesizer sees it: a character, or a raw byte that
// stood for itself as U+DC80-U+DCFF.
struct Piece {
    char32_t value;
    bool isByte;
};

// Reads the pieces of wide text one at a time, so that no copy of the whole text is
// made in between: unpaired surrogates are no pieces.
class PieceReader {
  public:
    explicit PieceReader(std::u16string_view text) : text_(text) {}

    bool Next(Piece& piece) {
        while (pos_ < text_.size()) {
            const char32_t unit = text_[pos_];
            if (IsHighSurrogate(unit) && pos_ + 1 < text_.size() &&
                IsLowSurrogate(text_[pos_ + 1])) {
                piece = {0x10000 + ((unit - 0xD800) << 10) + (text_[pos_ + 1] - 0xDC00u), false};
                pos_ += 2;
                return true;
            }
            ++pos_;
            if (IsByteChar(unit)) {
                piece = {unit - 0xDC00, true};
                return true;
            }
            if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) continue;
            piece = {unit, false};
            return true;
        }
        return false;
    }

  private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

// Calls `onChar(value)` for each character piece and `onRun(bytes, atStart, atEnd)`
// for each run of byte pieces, in order; `atStart`/`atEnd` tell whether the run is
// the first or last piece of the text.
template <typename OnChar, typename OnRun>
void WalkPieces(std::u16string_view text, OnChar onChar, OnRun onRun) {
    PieceReader reader(text);
    std::string run;  // only the current run is held
    bool runAtStart = false;
    bool first = true;
    Piece piece{};
    while (reader.Next(piece)) {
        if (piece.isByte) {
            if (run.empty()) runAtStart = first;
            run.push_back(static_cast<char>(piece.value));
        } else {
            if (!run.empty()) {
                onRun(std::string_view(run), runAtStart, false);
                run.clear();
            }
            onChar(piece.value);
        }
        first = false;
    }
    if (!run.empty()) onRun(std::string_view(run), runAtStart, true);
}

// How a run of bytes reads as UTF-8: the part between `begin` and `end` is whole
// characters; the bytes before and after it are pieces of characters split at the
// edge of the text.
struct Utf8Run {
    bool valid = false;
    std::size_t begin = 0;
    std::size_t end = 0;
};

Utf8Run ReadRunAsUtf8(std::string_view run, bool atTextStart, bool atTextEnd) {
    Utf8Run result;
    std::size_t pos = 0;
    if (atTextStart) {
        // A character cut at the start leaves up to three continuation bytes.
        while (pos < run.size() && pos < 3 &&
               IsContinuationByte(static_cast<unsigned char>(run[pos])))
            ++pos;
    }
    result.begin = pos;
    while (pos < run.size()) {
        const Utf8Step step = ReadUtf8(run, pos);
        if (!step.valid) {
            if (step.truncated && atTextEnd) break;  // a character cut at the end
            return result;
        }
        pos += step.length;
    }
    result.end = pos;
    result.valid = true;
    return result;
}

}  // namespace

char16_t ByteToChar(unsigned char byte) {
    return byte < 0x80 ? static_cast<char16_t>(byte) : static_cast<char16_t>(0xDC00 + byte);
}

std::u16string BytesToText(std::string_view bytes) {
    std::u16string text;
    text.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text[i] = ByteToChar(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::string TextToBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (IsByteChar(unit)) {
            bytes.push_back(static_cast<char>(unit - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(bytes, kReplacementChar);
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

std::u16string DecodeTextFile(std::string_view bytes) {
    std::u16string text;
    auto decodeUtf8 = [&text](std::string_view utf8) {
        text.reserve(utf8.size());
        for (std::size_t pos = 0; pos < utf8.size();) {
            const Utf8Step step = ReadUtf8(utf8, pos);
            AppendUtf16(text, step.valid ? step.codePoint : kReplacementChar);
            pos += step.length;
        }
    };
    auto decodeUtf16 = [&text](std::string_view data, bool bigEndian) {
        const std::size_t units = data.size() / 2;  // an odd last byte is no character
        text.reserve(units);
        auto unitAt = [&](std::size_t i) -> char16_t {
            const auto first = static_cast<unsigned char>(data[2 * i]);
            const auto second = static_cast<unsigned char>(data[2 * i + 1]);
            return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
        };
        for (std::size_t i = 0; i < units; ++i) {
            const char16_t unit = unitAt(i);
            if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(unitAt(i + 1))) {
                text.push_back(unit);
                text.push_back(unitAt(++i));
            } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
                // Never let a stray surrogate pass for one of the byte characters.
                text.push_back(static_cast<char16_t>(kReplacementChar));
            } else {
                text.push_back(unit);
            }
        }
    };

    if (bytes.starts_with("\xEF\xBB\xBF")) {
        decodeUtf8(bytes.substr(3));
    } else if (bytes.starts_with("\xFF\xFE")) {
        decodeUtf16(bytes.substr(2), false);
    } else if (bytes.starts_with("\xFE\xFF")) {
        decodeUtf16(bytes.substr(2), true);
    } else {
        bool validUtf8 = true;
        for (std::size_t pos = 0; pos < bytes.size() && validUtf8;) {
            const Utf8Step step = ReadUtf8(bytes, pos);
            validUtf8 = step.valid;
            pos += step.length;
        }
        if (validUtf8) {
            decodeUtf8(bytes);
        } else {
            text.reserve(bytes.size());
            for (const char byte : bytes)
                AppendUtf16(text, Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
        }
    }
    return text;
}

std::string TextForSynthesis(std::u16string_view text) {
    // The text's bytes are one encoding: UTF-8 only if every run reads as UTF-8
    // (characters split at the text's two edges allowed), else Windows-1252. A first
    // pass decides it, a second writes the text; neither holds more than one run.
    // The first pass also counts the bytes of either outcome, so that the result is
    // allocated once, at its size.
    bool utf8 = true;
    std::size_t charBytes = 0;
    std::size_t utf8RunBytes = 0;
    std::size_t windows1252RunBytes = 0;
    WalkPieces(
        text,
        [&](char32_t value) {
            if (value != 0) charBytes += Utf8Length(value);
        },
        [&](std::string_view run, bool atStart, bool atEnd) {
            if (utf8) {
                const Utf8Run reading = ReadRunAsUtf8(run, atStart, atEnd);
                utf8 = reading.valid;
                utf8RunBytes += reading.end - reading.begin;
            }
            for (const char byte : run)
                windows1252RunBytes +=
                    Utf8Length(Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
        });

    std::string out;
    out.reserve(charBytes + (utf8 ? utf8RunBytes : windows1252RunBytes));
    WalkPieces(
        text,
        [&](char32_t value) {
            if (value != 0) AppendUtf8(out, value);
        },
        [&](std::string_view run, bool atStart, bool atEnd) {
            if (utf8) {
                const Utf8Run reading = ReadRunAsUtf8(run, atStart, atEnd);
                out.append(run.substr(reading.begin, reading.end - reading.begin));
            } else {
                for (const char byte : run)
                    AppendUtf8(out, Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
            }
        });
    return out;
}

}  // namespace sonoleaf::text
