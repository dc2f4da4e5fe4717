#include "platform/text/byte_text.h"

#include <vector>

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

std::vector<Piece> SplitPieces(std::u16string_view text) {
    std::vector<Piece> pieces;
    pieces.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            pieces.push_back({0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00u), false});
            ++i;
        } else if (IsByteChar(unit)) {
            pieces.push_back({unit - 0xDC00, true});
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            continue;  // an unpaired surrogate is no character
        } else {
            pieces.push_back({unit, false});
        }
    }
    return pieces;
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
    const std::vector<Piece> pieces = SplitPieces(text);

    // The runs of bytes, in order, each as a byte string with its place in `pieces`.
    struct Run {
        std::size_t first;
        std::size_t count;
        std::string bytes;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].isByte) continue;
        if (runs.empty() || runs.back().first + runs.back().count != i) runs.push_back({i, 0, {}});
        runs.back().bytes.push_back(static_cast<char>(pieces[i].value));
        ++runs.back().count;
    }

    // The text's bytes are one encoding: UTF-8 only if every run reads as UTF-8
    // (characters split at the text's two edges allowed), else Windows-1252.
    std::vector<Utf8Run> readings;
    readings.reserve(runs.size());
    bool utf8 = true;
    for (const Run& run : runs) {
        readings.push_back(
            ReadRunAsUtf8(run.bytes, run.first == 0, run.first + run.count == pieces.size()));
        utf8 = utf8 && readings.back().valid;
    }

    std::string out;
    out.reserve(text.size());
    std::size_t nextRun = 0;
    for (std::size_t i = 0; i < pieces.size();) {
        if (!pieces[i].isByte) {
            if (pieces[i].value != 0) AppendUtf8(out, pieces[i].value);
            ++i;
            continue;
        }
        const Run& run = runs[nextRun];
        if (utf8) {
            const Utf8Run& reading = readings[nextRun];
            out.append(run.bytes, reading.begin, reading.end - reading.begin);
        } else {
            for (const char byte : run.bytes)
                AppendUtf8(out, Windows1252ToCodePoint(static_cast<unsigned char>(byte)));
        }
        i += run.count;
        ++nextRun;
    }
    return out;
}

}  // namespace sonoleaf::text
