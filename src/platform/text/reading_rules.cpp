#include "platform/text/reading_rules.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "platform/text/markup_scan.h"

namespace sonoleaf::text {
namespace {

constexpr std::array<std::string_view, 20> kOnes{
    "",         "one",     "two",     "three",     "four",     "five",    "six",
    "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
    "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
constexpr std::array<std::string_view, 10> kTens{"",      "",      "twenty",  "thirty", "forty",
                                                 "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string TwoDigits(int n) {
    if (n < 20) return std::string(kOnes[static_cast<std::size_t>(n)]);
    std::string words(kTens[static_cast<std::size_t>(n / 10)]);
    if (n % 10 != 0) (words += ' ') += kOnes[static_cast<std::size_t>(n % 10)];
    return words;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiAlnum(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsWordByte(char c) {
    return IsAsciiAlnum(c) || c == '_';
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsHostChar(char c) {
    return IsAsciiAlnum(c) || c == '-' || c == '.';
}
bool IsLocalChar(char c) {
    return IsAsciiAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}

bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view word) {
    if (s.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Lower(s[pos + i]) != word[i]) return false;
    return true;
}

// The code point at `pos` and its length in bytes; a bad sequence is one byte of itself.
std::pair<char32_t, std::size_t> CodePointAt(std::string_view s, std::size_t pos) {
    const auto b = static_cast<unsigned char>(s[pos]);
    const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (length == 1 || pos + length > s.size()) return {b, 1};
    char32_t cp = b & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80) return {b, 1};
        cp = (cp << 6) | (next & 0x3F);
    }
    return {cp, length};
}

// Blanks between words, the no-break space included; their length at `pos`.
std::size_t BlankLength(std::string_view s, std::size_t pos) {
    std::size_t at = pos;
    for (;;) {
        if (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r')) {
            ++at;
        } else if (s.substr(at, 2) == "\xC2\xA0") {
            at += 2;
        } else {
            return at - pos;
        }
    }
}

// Where an address ends: blanks, quotes, brackets and the punctuation of other scripts.
bool EndsAddress(char32_t cp) {
    if (cp < 0x80) {
        return cp <= ' ' || cp == 0x7F || cp == '<' || cp == '>' || cp == '"' || cp == '`' ||
               cp == '{' || cp == '}' || cp == '|' || cp == '\\' || cp == '^';
    }
    return (cp >= 0xA0 && cp <= 0xBF) || (cp >= 0x2000 && cp <= 0x2BFF) ||
           (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0xFF00 && cp <= 0xFF65);
}

// Whether a word goes on at `pos`: a letter, digit or underscore, or a character of
// another script that is no blank or punctuation.
bool WordAt(std::string_view s, std::size_t pos) {
    if (pos >= s.size()) return false;
    const auto [cp, length] = CodePointAt(s, pos);
    return cp < 0x80 ? IsWordByte(static_cast<char>(cp)) : !EndsAddress(cp);
}

// Whether an address or a year range may start at `pos`: not inside a word, a name
// or a path.
bool MayStartAt(std::string_view s, std::size_t pos) {
    if (pos == 0) return true;
    std::size_t start = pos - 1;
    while (start > 0 && pos - start < 4 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80)
        --start;
    const char c = s[pos - 1];
    if (static_cast<unsigned char>(c) < 0x80)
        return !IsWordByte(c) && c != '.' && c != '/' && c != '@' && c != ':' && c != '-';
    return !WordAt(s, start);
}

// The length of a host name at `pos`, without the full stop or hyphen that may end
// the sentence after it.
std::size_t HostLength(std::string_view s, std::size_t pos) {
    std::size_t end = pos;
    while (end < s.size() && IsHostChar(s[end])) ++end;
    while (end > pos && (s[end - 1] == '.' || s[end - 1] == '-')) --end;
    return end - pos;
}

// Labels of letters, digits and inner hyphens; `named`: at least two, the last of two
// letters or more (a site's name, as opposed to "file.txt" it is not asked to tell).
bool ValidHost(std::string_view host, bool named) {
    if (host.empty()) return false;
    std::size_t labels = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = host.find('.', start);
        const std::string_view label = host.substr(start, dot - start);
        if (label.empty() || label.front() == '-' || label.back() == '-') return false;
        ++labels;
        if (dot == std::string_view::npos) {
            if (!named) return true;
            if (labels < 2 || label.size() < 2) return false;
            for (const char c : label)
                if (IsDigit(c)) return false;
            return true;
        }
        start = dot + 1;
    }
}

// "www.Example.COM" -> "example dot com".
std::string SpokenHost(std::string_view host) {
    std::string lower;
    for (const char c : host) lower += Lower(c);
    std::string_view name = lower;
    if (name.starts_with("www.") && name.find('.', 4) != std::string_view::npos)
        name.remove_prefix(4);
    std::string spoken;
    for (const char c : name) {
        if (c == '.') {
            spoken += " dot ";
        } else {
            spoken += c;
        }
    }
    return spoken;
}

struct Match {
    std::size_t end;     // offset just after what is replaced
    std::string spoken;  // what is said instead
};

// A web address at `pos`: a scheme's or "www." start, a host, then anything up to a
// blank, a quote or a bracket, less the punctuation that ends its sentence.
std::optional<Match> WebAddressAt(std::string_view s, std::size_t pos) {
    std::size_t host = pos;
    for (const std::string_view scheme : {"https://", "http://", "ftps://", "ftp://"}) {
        if (StartsWithNoCase(s, pos, scheme)) {
            host = pos + scheme.size();
            break;
        }
    }
    const bool www = host == pos;
    if (www && !StartsWithNoCase(s, pos, "www.")) return std::nullopt;
    const std::size_t hostLength = HostLength(s, host);
    const std::string_view name = s.substr(host, hostLength);
    // "www." starts a site's name only when a name follows it.
    if (!(www ? ValidHost(name.substr(std::min<std::size_t>(4, name.size())), true)
              : ValidHost(name, false)))
        return std::nullopt;
    std::size_t end = host + hostLength;
    if (end < s.size() && s[end] == '@') return std::nullopt;  // an e-mail address
    if (end < s.size() && s[end] == ':' && end + 1 < s.size() && IsDigit(s[end + 1])) {
        ++end;
        while (end < s.size() && IsDigit(s[end])) ++end;
    }
    if (end < s.size() && (s[end] == '/' || s[end] == '?' || s[end] == '#')) {
        const std::size_t rest = end;
        int open = 0;
        while (end < s.size()) {
            const auto [cp, length] = CodePointAt(s, end);
            if (EndsAddress(cp)) break;
            end += length;
        }
        for (std::size_t i = rest; i < end; ++i) open += s[i] == '(' ? 1 : s[i] == ')' ? -1 : 0;
        // A sentence's closing marks, and a bracket the address did not open, are not its.
        while (end > rest) {
            const char c = s[end - 1];
            if (c == ')' && open < 0) {
                ++open;
            } else if (c != '.' && c != ',' && c != ';' && c != ':' && c != '!' && c != '?' &&
                       c != '\'' && c != ']' && c != '*') {
                break;
            }
            --end;
        }
    } else if (WordAt(s, end)) {
        return std::nullopt;
    }
    return Match{end, "a link to " + SpokenHost(name)};
}

// An e-mail address at `pos`, "mailto:" before it included.
std::optional<Match> EmailAddressAt(std::string_view s, std::size_t pos) {
    std::size_t local = pos;
    if (StartsWithNoCase(s, pos, "mailto:")) local += 7;
    std::size_t at = local;
    while (at < s.size() && IsLocalChar(s[at])) ++at;
    if (at == local || at >= s.size() || s[at] != '@' || s[local] == '.' || s[at - 1] == '.')
        return std::nullopt;
    const std::size_t hostLength = HostLength(s, at + 1);
    const std::string_view name = s.substr(at + 1, hostLength);
    const std::size_t end = at + 1 + hostLength;
    if (!ValidHost(name, true) || WordAt(s, end) || (end < s.size() && s[end] == '@'))
        return std::nullopt;
    return Match{end, "an e-mail address at " + SpokenHost(name)};
}

// A year of four digits at `pos` not run on into more digits, or nothing.
std::optional<int> YearAt(std::string_view s, std::size_t pos) {
    if (s.size() - pos < 4) return std::nullopt;
    int year = 0;
    for (std::size_t i = pos; i < pos + 4; ++i) {
        if (!IsDigit(s[i])) return std::nullopt;
        year = year * 10 + (s[i] - '0');
    }
    if (year < 1000 || year > 2999) return std::nullopt;
    if (WordAt(s, pos + 4)) return std::nullopt;
    return year;
}

// The dash between two years ("-", hyphen, non-breaking hyphen, en or em dash); its
// length at `pos`.
std::size_t DashLength(std::string_view s, std::size_t pos) {
    if (pos < s.size() && s[pos] == '-') return 1;
    for (const std::string_view dash : {"\u2010", "\u2011", "\u2013", "\u2014"})
        if (s.substr(pos, dash.size()) == dash) return dash.size();
    return 0;
}

// The length of the one of `words` that stands at `pos`, in any letter case; 0: none.
std::size_t WordAt(std::string_view s, std::size_t pos,
                   std::initializer_list<std::string_view> words) {
    for (const std::string_view word : words)
        if (StartsWithNoCase(s, pos, word)) return word.size();
    return 0;
}

// "from 1949 to 1976", "in 1990-1995": the word and its blank as written, then the
// years in words.
std::optional<Match> YearRangeAt(std::string_view s, std::size_t pos) {
    const std::size_t word = WordAt(s, pos, {"from", "in", "since", "until", "by"});
    if (word == 0) return std::nullopt;
    const std::size_t blank = BlankLength(s, pos + word);
    if (blank == 0) return std::nullopt;
    const std::size_t first = pos + word + blank;
    const std::optional<int> from = YearAt(s, first);
    if (!from) return std::nullopt;
    std::size_t at = first + 4;
    at += BlankLength(s, at);
    std::string between;
    if (const std::size_t dash = DashLength(s, at); dash != 0) {
        at += dash;
        at += BlankLength(s, at);
        between = " to ";
    } else {
        const std::size_t joinStart = first + 4;
        if (at == joinStart) return std::nullopt;
        const std::size_t join = WordAt(s, at, {"to", "until", "till", "through", "and"});
        if (join == 0) return std::nullopt;
        const std::size_t after = BlankLength(s, at + join);
        if (after == 0) return std::nullopt;
        at += join + after;
        between = std::string(s.substr(joinStart, at - joinStart));
    }
    const std::optional<int> to = YearAt(s, at);
    if (!to) return std::nullopt;
    // A dash between numbers not in order is no span of years ("in 2000-1000 units").
    if (between == " to " && *to < *from) return std::nullopt;
    std::size_t end = at + 4;
    // "1990-1995-2000" is some other number.
    if (const std::size_t dash = DashLength(s, end);
        dash != 0 && end + dash < s.size() && IsDigit(s[end + dash]))
        return std::nullopt;
    return Match{end, std::string(s.substr(pos, first - pos)) + YearInWords(*from) + between +
                          YearInWords(*to)};
}

// One run of text without markup.
void ReadRun(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        std::optional<Match> match;
        if (MayStartAt(s, i)) {
            match = WebAddressAt(s, i);
            if (!match && (i == 0 || !IsLocalChar(s[i - 1]))) match = EmailAddressAt(s, i);
            if (!match) match = YearRangeAt(s, i);
        }
        if (match) {
            out += match->spoken;
            i = match->end;
        } else {
            out += s[i++];
        }
    }
}

}  // namespace

std::string YearInWords(int year) {
    const int high = year / 100;
    const int low = year % 100;
    if (year % 1000 == 0) return TwoDigits(year / 1000) + " thousand";
    if (high == 20 && low < 10) return "two thousand " + TwoDigits(low);
    if (low == 0) return TwoDigits(high) + " hundred";
    if (low < 10) return TwoDigits(high) + " oh " + TwoDigits(low);
    return TwoDigits(high) + " " + TwoDigits(low);
}

std::string ApplyReadingRules(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    // Between the tags only, whether or not the text starts as markup: an address in
    // an attribute is markup, not words.
    std::size_t start = 0;
    for (std::size_t i = utf8.find('<'); i != std::string_view::npos; i = utf8.find('<', i)) {
        const std::size_t tag = MarkupTagLength(utf8, i);
        if (tag == 0) {
            ++i;
            continue;
        }
        ReadRun(utf8.substr(start, i - start), out);
        out += utf8.substr(i, tag);
        i += tag;
        start = i;
    }
    ReadRun(utf8.substr(start), out);
    return out;
}

}  // namespace sonoleaf::text
