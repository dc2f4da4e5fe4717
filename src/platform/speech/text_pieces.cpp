#include "platform/speech/text_pieces.h"

#include <algorithm>

#include "platform/text/markup_scan.h"

namespace sonoleaf::speech_service {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool HasSpokenText(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return !IsBlank(c); });
}

// Closing quotes and brackets that may follow a sentence's full stop.
std::size_t ClosingMarkLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const char c = text[pos];
    if (c == '"' || c == '\'' || c == ')' || c == ']') return 1;
    // U+2019 and U+201D, the typographic closing quotes.
    if (text.substr(pos, 3) == "\xE2\x80\x99" || text.substr(pos, 3) == "\xE2\x80\x9D") return 3;
    return 0;
}

// If a sentence ends at `pos` (its final mark there), the offset just after the
// mark and its closing quotes; otherwise 0.
std::size_t SentenceEndAfter(std::string_view text, std::size_t pos) {
    std::size_t end = 0;
    const char c = text[pos];
    if (c == '.' || c == '!' || c == '?') {
        end = pos + 1;
    } else if (text.substr(pos, 3) == "\xE3\x80\x82") {  // ideographic full stop
        end = pos + 3;
    } else if (c == '\n') {
        // A blank line ends a paragraph.
        std::size_t next = pos + 1;
        while (next < text.size() &&
               (text[next] == ' ' || text[next] == '\t' || text[next] == '\r'))
            ++next;
        return next < text.size() && text[next] == '\n' ? next + 1 : 0;
    } else {
        return 0;
    }
    while (std::size_t mark = ClosingMarkLength(text, end)) end += mark;
    if (end < text.size() && !IsBlank(text[end])) return 0;  // "3.5", "e.g."
    // "Mr. Smith" goes on; a lower-case word after the stop is no new sentence.
    std::size_t next = end;
    while (next < text.size() && IsBlank(text[next])) ++next;
    if (next < text.size() && text[next] >= 'a' && text[next] <= 'z') return 0;
    return end;
}

std::size_t ClauseEndAfter(std::string_view text, std::size_t pos) {
    const char c = text[pos];
    if (c != ',' && c != ';' && c != ':') return 0;
    return pos + 1 < text.size() && IsBlank(text[pos + 1]) ? pos + 1 : 0;
}

std::string ElementName(std::string_view tag) {
    // tag is "<name ...>" or "</name>"
    std::size_t begin = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
    std::size_t end = begin;
    while (end < tag.size() && !IsBlank(tag[end]) && tag[end] != '>' && tag[end] != '/') ++end;
    return std::string(tag.substr(begin, end - begin));
}

}  // namespace

TextPieces::TextPieces(std::string_view text, bool ssml, std::size_t minLength,
                       std::size_t maxLength)
    : text_(text), ssml_(ssml), minLength_(minLength), maxLength_(std::max(maxLength, minLength)) {}

bool TextPieces::LooksLikeMarkup(std::string_view text) {
    return text::LooksLikeMarkup(text);
}

bool TextPieces::Next(TextPiece& piece) {
    return ssml_ ? NextMarkup(piece) : NextPlain(piece);
}

std::size_t TextPieces::FindCut(std::string_view segment, std::size_t already,
                                bool& sentence) const {
    const std::size_t room = already < maxLength_ ? maxLength_ - already : 0;
    // Look only as far as a piece may reach, so long texts cost no more per piece.
    const std::size_t window = std::min(segment.size(), room + 1);
    std::size_t lastSentence = 0, lastClause = 0, lastSpace = 0;
    for (std::size_t i = 0; i < window; ++i) {
        if (const std::size_t end = SentenceEndAfter(segment, i); end != 0) {
            if (already + end >= minLength_ && end <= room) {
                sentence = true;
                return end;
            }
            if (end <= room) lastSentence = end;
        } else if (const std::size_t clause = ClauseEndAfter(segment, i);
                   clause != 0 && clause <= room) {
            lastClause = clause;
        } else if (IsBlank(segment[i]) && i <= room) {
            lastSpace = i;
        }
    }
    if (already + segment.size() <= maxLength_) return std::string_view::npos;
    sentence = lastSentence != 0;
    if (lastSentence != 0) return lastSentence;
    if (lastClause != 0) return lastClause;
    if (lastSpace != 0) return lastSpace;
    if (already > 0) return 0;  // the piece so far goes alone
    std::size_t cut = std::min(room, segment.size());
    while (cut > 0 && IsContinuation(segment[cut])) --cut;
    return cut > 0 ? cut : std::min(room, segment.size());
}

bool TextPieces::NextPlain(TextPiece& piece) {
    while (pos_ < text_.size()) {
        const std::string_view rest = text_.substr(pos_);
        bool sentence = false;
        std::size_t cut = FindCut(rest, 0, sentence);
        if (cut == std::string_view::npos) {
            cut = rest.size();
            sentence = true;
        }
        pos_ += cut;
        if (pos_ >= text_.size()) sentence = true;
        if (!HasSpokenText(rest.substr(0, cut))) continue;
        piece.text.assign(rest.substr(0, cut));
        piece.endsSentence = sentence;
        piece.end = pos_;
        return true;
    }
    return false;
}

std::size_t TextPieces::TagLength() const {
    return text::MarkupTagLength(text_, pos_);
}

void TextPieces::TakeTag(std::string_view tag, std::string& out, bool& spoken) {
    if (tag.starts_with("<!") || tag.starts_with("<?")) return;  // comments, declarations
    const std::string name = ElementName(tag);
    if (tag.starts_with("</")) {
        const auto match = std::find_if(open_.rbegin(), open_.rend(),
                                        [&](const OpenElement& e) { return e.name == name; });
        if (match == open_.rend()) return;  // closes nothing that is open
        open_.erase(std::next(match).base(), open_.end());
        out += tag;
        return;
    }
    out += tag;
    if (tag.size() >= 2 && tag[tag.size() - 2] == '/') {
        spoken = true;  // an empty element such as a break
    } else {
        open_.push_back({name, std::string(tag)});
        if (name != "speak") spoken = true;
    }
}

bool TextPieces::NextMarkup(TextPiece& piece) {
    while (pos_ < text_.size()) {
        std::string out;
        for (const OpenElement& element : open_) out += element.openingTag;
        bool spoken = false;
        bool sentence = false;
        std::size_t content = 0;
        bool cut = false;
        while (pos_ < text_.size() && !cut) {
            if (text_[pos_] == '<') {
                if (const std::size_t length = TagLength(); length != 0) {
                    TakeTag(text_.substr(pos_, length), out, spoken);
                    pos_ += length;
                    continue;
                }
                out += ' ';  // a stray "<" is no markup and nothing to say
                ++pos_;
                ++content;
                continue;
            }
            std::size_t next = text_.find('<', pos_);
            if (next == std::string_view::npos) next = text_.size();
            const std::string_view segment = text_.substr(pos_, next - pos_);
            std::size_t length = FindCut(segment, content, sentence);
            if (length != std::string_view::npos) {
                cut = true;
            } else {
                length = segment.size();
            }
            if (HasSpokenText(segment.substr(0, length))) spoken = true;
            out += segment.substr(0, length);
            content += length;
            pos_ += length;
        }
        if (pos_ >= text_.size()) sentence = true;
        for (auto it = open_.rbegin(); it != open_.rend(); ++it) out += "</" + it->name + ">";
        if (!spoken) continue;
        piece.text = std::move(out);
        piece.endsSentence = sentence;
        piece.end = pos_;
        return true;
    }
    return false;
}

}  // namespace sonoleaf::speech_service
