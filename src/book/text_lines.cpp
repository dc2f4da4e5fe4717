#include "book/text_lines.h"

#include <algorithm>

#include "platform/text/unicode.h"

namespace sonoleaf::book {
namespace {

bool IsSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
           c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

// Characters that show nothing and mean nothing aloud.
bool IsDropped(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xAD || c == 0x200B ||
           c == 0x2060 || c == 0xFEFF;
}

bool MatchesNoCase(std::string_view text, std::size_t at, std::string_view lowerTag) {
    if (text.size() - at < lowerTag.size()) return false;
    for (std::size_t i = 0; i < lowerTag.size(); ++i) {
        if (AsciiLower(text[at + i]) != lowerTag[i]) return false;
    }
    return true;
}

}  // namespace

void AppendCollapsed(std::string& line, std::string_view text, bool& pendingSpace) {
    for (std::size_t pos = 0; pos < text.size();) {
        // Most of a book is printable ASCII: taken a run at a time.
        std::size_t run = pos;
        while (run < text.size() && text[run] > ' ' && text[run] < 0x7F) ++run;
        if (run > pos) {
            if (pendingSpace && !line.empty() && line.back() != '\n') line += ' ';
            pendingSpace = false;
            line.append(text, pos, run - pos);
            pos = run;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[pos]);
        char32_t c = byte;
        std::size_t length = 1;
        if (byte >= 0x80) {
            const text::Utf8Step step = text::ReadUtf8(text, pos);
            c = step.valid ? step.codePoint : text::kReplacementChar;
            length = step.length;
        }
        if (IsSpace(c)) {
            pendingSpace = true;
        } else if (!IsDropped(c)) {
            if (pendingSpace && !line.empty() && line.back() != '\n') line += ' ';
            pendingSpace = false;
            if (byte < 0x80) {
                line += static_cast<char>(byte);
            } else {
                text::AppendUtf8(line, c);
            }
        }
        pos += length;
    }
}

std::string CollapseSpaces(std::string_view text) {
    std::string line;
    bool pendingSpace = false;
    AppendCollapsed(line, text, pendingSpace);
    return line;
}

std::string Comparable(std::string_view text) {
    std::string form;
    for (const char c : text) {
        if (IsAsciiAlphanumeric(c)) {
            form += AsciiLower(c);
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            form += c;  // letters of other scripts, byte for byte
        }
    }
    return form;
}

std::string ShortLine(std::string_view line, std::size_t maxBytes) {
    if (line.size() <= maxBytes) return std::string(line);
    std::size_t end = maxBytes;
    while (end > 0 && text::IsContinuationByte(static_cast<unsigned char>(line[end]))) --end;
    const std::size_t blank = line.rfind(' ', end);
    if (blank != std::string_view::npos && blank > maxBytes / 2) end = blank;
    return std::string(line.substr(0, end));
}

void NeutraliseTitleTags(std::string& text) {
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        const std::size_t length = MatchesNoCase(text, at, "<title>")    ? 7
                                   : MatchesNoCase(text, at, "</title>") ? 8
                                                                         : 0;
        if (length == 0) continue;
        // Single guillemets: the word stays readable, the tag is gone.
        text.replace(at + length - 1, 1, "\u203A");
        text.replace(at, 1, "\u2039");
    }
}

}  // namespace sonoleaf::book
