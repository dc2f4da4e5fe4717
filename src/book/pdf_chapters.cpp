#include "book/pdf_chapters.h"

#include <algorithm>
#include <optional>
#include <string>

#include "book/text_lines.h"

namespace sonoleaf::book {
namespace {

constexpr std::size_t kMaxTitleBytes = 300;

struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::vector<std::string> Words(std::string_view title) {
    std::vector<std::string> words;
    const std::string line = CollapseSpaces(title);
    for (std::size_t start = 0; start < line.size();) {
        std::size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        words.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

bool SameLetters(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (AsciiLower(text[at + i]) != AsciiLower(word[i])) return false;
    }
    return true;
}

// The title's words in order, any white space between them, from `at`; the end.
std::optional<std::size_t> MatchWords(std::string_view text, std::size_t at, std::size_t limit,
                                      const std::vector<std::string>& words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            const std::size_t before = at;
            while (at < limit && IsBlank(text[at])) ++at;
            if (at == before) return std::nullopt;
        }
        if (at >= limit || !SameLetters(text, at, words[i]) || at + words[i].size() > limit)
            return std::nullopt;
        at += words[i].size();
    }
    if (at < limit && IsAsciiAlphanumeric(text[at])) return std::nullopt;
    return at;
}

// The first line in [from, limit) that begins with the title: from that line's start to
// the title's end.
std::optional<Span> FindHeading(std::string_view text, std::size_t from, std::size_t limit,
                                std::string_view title) {
    const std::vector<std::string> words = Words(title);
    if (words.empty()) return std::nullopt;
    for (std::size_t line = from; line < limit;) {
        std::size_t at = line;
        while (at < limit && (text[at] == ' ' || text[at] == '\t')) ++at;
        if (const auto end = MatchWords(text, at, limit, words)) return Span{line, *end};
        const std::size_t newline = text.find_first_of("\n\f", line);
        if (newline == std::string_view::npos || newline >= limit) break;
        line = newline + 1;
    }
    return std::nullopt;
}

std::string Trimmed(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string FirstLine(const std::string& text) {
    return ShortLine(CollapseSpaces(text.substr(0, text.find_first_of("\n\f"))), 100);
}

}  // namespace

std::vector<std::size_t> PageStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size();) {
        starts.push_back(at);
        const std::size_t feed = text.find('\f', at);
        if (feed == std::string_view::npos) break;
        at = feed + 1;
    }
    return starts;
}

std::vector<Passage> PdfChapters(std::string_view text, const PdfOutline& outline) {
    const std::vector<std::size_t> pageStarts = PageStarts(text);
    const auto pageCount = static_cast<int>(pageStarts.size());
    std::vector<PdfOutline::Entry> entries;
    for (const PdfOutline::Entry& entry : outline.entries) {
        if (entry.page >= 1 && entry.page <= pageCount) entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.page < b.page; });

    // Where each entry begins (its heading line) and where its own text begins.
    std::vector<Span> places;
    for (const PdfOutline::Entry& entry : entries) {
        const std::size_t page = pageStarts[static_cast<std::size_t>(entry.page - 1)];
        const std::size_t pageEnd =
            entry.page < pageCount ? pageStarts[static_cast<std::size_t>(entry.page)] : text.size();
        const std::size_t earliest = places.empty() ? 0 : places.back().end;
        const std::size_t from = std::max(page, earliest);
        Span place{from, from};
        if (from < pageEnd) {
            if (const auto heading = FindHeading(text, from, pageEnd, entry.title))
                place = *heading;
        }
        places.push_back(place);
    }

    std::vector<Passage> passages;
    const std::size_t firstStart = places.empty() ? text.size() : places.front().begin;
    if (std::string front = Trimmed(text.substr(0, firstStart)); !front.empty()) {
        std::string title = CollapseSpaces(outline.title);
        passages.push_back({title.empty() ? FirstLine(front) : title, {std::move(front)}});
    }
    std::string carried;  // titles of entries with no text of their own
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t end = i + 1 < places.size() ? places[i + 1].begin : text.size();
        std::string body = places[i].end < end
                               ? Trimmed(text.substr(places[i].end, end - places[i].end))
                               : std::string();
        std::string title = CollapseSpaces(entries[i].title);
        if (!carried.empty() && carried.size() <= kMaxTitleBytes)
            title = title.empty() ? carried : carried + ". " + title;
        if (body.empty()) {
            carried = title;
            continue;
        }
        carried.clear();
        if (title.empty()) title = FirstLine(body);
        passages.push_back({ShortLine(title, kMaxTitleBytes), {std::move(body)}});
    }
    return passages;
}

}  // namespace sonoleaf::book
