#include "platform/speech/piece_notes.h"

#include <charconv>

namespace sonoleaf::speech_service {
namespace {

constexpr std::size_t kMaxNotes = 1000000;

bool ReadNumber(std::string_view& line, std::int64_t& value) {
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || end == line.data() || value < 0) return false;
    line.remove_prefix(static_cast<std::size_t>(end - line.data()));
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return true;
}

}  // namespace

std::string CuesPathFor(const std::string& chapterPath) {
    const std::size_t dot = chapterPath.rfind('.');
    const std::size_t slash = chapterPath.rfind('/');
    const bool ending = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (ending ? chapterPath.substr(0, dot) : chapterPath) + ".cues";
}

// One line a note: "start first end<TAB>text", the text on one line.
std::string FormatPieceNotes(const std::vector<PieceNote>& notes) {
    std::string out;
    for (const PieceNote& note : notes) {
        if (note.span.silent) continue;
        out += std::to_string(note.start) + ' ' + std::to_string(note.span.first) + ' ' +
               std::to_string(note.span.end) + '\t';
        for (const char c : note.text) out += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
        out += '\n';
    }
    return out;
}

std::optional<std::vector<PieceNote>> ParsePieceNotes(std::string_view bytes) {
    std::vector<PieceNote> notes;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        if (newline == std::string_view::npos || notes.size() >= kMaxNotes) return std::nullopt;
        std::string_view line = bytes.substr(0, newline);
        bytes.remove_prefix(newline + 1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return std::nullopt;
        std::string_view numbers = line.substr(0, tab);
        PieceNote note;
        if (!ReadNumber(numbers, note.start) || !ReadNumber(numbers, note.span.first) ||
            !ReadNumber(numbers, note.span.end) || !numbers.empty() ||
            note.span.end < note.span.first)
            return std::nullopt;
        note.span.silent = false;
        note.text = line.substr(tab + 1);
        notes.push_back(std::move(note));
    }
    return notes;
}

}  // namespace sonoleaf::speech_service
