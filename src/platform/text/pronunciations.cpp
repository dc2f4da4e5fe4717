#include "platform/text/pronunciations.h"

#include <QChar>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/text/markup_scan.h"
#include "platform/text/unicode.h"

namespace sonoleaf::text {
namespace {

constexpr std::size_t kMaxWordBytes = 256;
constexpr std::size_t kMaxReplacementBytes = 256;
constexpr std::size_t kMaxPatternBytes = 1024;
constexpr std::size_t kMaxPatternRules = 500;
constexpr std::size_t kMaxTextBytes = std::size_t{1} << 30;
// PCRE2's own limit, lowered: a pattern that backtracks without end gives up (as "no
// match") after a few milliseconds instead of holding the render.
constexpr std::string_view kMatchLimit = "(*LIMIT_MATCH=1000000)";

// Markers inside a word rule's left side, above every code point.
constexpr char32_t kBlankRun = 0x110000;
constexpr char32_t kNotAChar = 0x110001;  // bytes that are not UTF-8

struct Char {
    char32_t codePoint;
    std::size_t length;
};

Char CharAt(std::string_view text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) return {byte, 1};
    const Utf8Step step = ReadUtf8(text, pos);
    return {step.valid ? step.codePoint : kNotAChar, step.length};
}

bool IsWordChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return c < kBlankRun && (QChar::isLetterOrNumber(c) || QChar::isMark(c));
}

bool IsBlankChar(char32_t c) {
    if (c < 0x80) return c == ' ' || (c >= '\t' && c <= '\r');
    return c < kBlankRun && QChar::isSpace(c);
}

// The typographic apostrophe is the straight one, so that "O’Brien" finds "O'Brien".
char32_t Exact(char32_t c) {
    return c == 0x2019 ? U'\'' : c;
}

char32_t Folded(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    return c < kBlankRun ? QChar::toCaseFolded(Exact(c)) : c;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const Char c = CharAt(text, pos);
        if (c.codePoint == kNotAChar) return false;
        pos += c.length;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string EscapeForMarkup(std::string_view text) {
    std::string escaped;
    for (const char c : text)
        escaped += c == '&' ? std::string_view("&amp;") : std::string_view(&c, 1);
    return escaped;
}

struct WordRule {
    std::u32string left;  // exact or folded characters, kBlankRun for white space
    bool caseSensitive = false;
    bool endsInWord = false;  // a word boundary (or an ending) must follow
    std::string replacement;
    std::string markupReplacement;
    int line = 0;
};

struct WordMatch {
    bool found = false;
    std::size_t end = 0;  // where the left side ends (an ending "s"/"es" stays)
};

WordMatch MatchWordRule(const WordRule& rule, std::string_view text, std::size_t pos) {
    for (const char32_t wanted : rule.left) {
        if (pos >= text.size()) return {};
        Char c = CharAt(text, pos);
        if (wanted == kBlankRun) {
            if (!IsBlankChar(c.codePoint)) return {};
            while (pos < text.size() && IsBlankChar((c = CharAt(text, pos)).codePoint))
                pos += c.length;
            continue;
        }
        if ((rule.caseSensitive ? Exact(c.codePoint) : Folded(c.codePoint)) != wanted) return {};
        pos += c.length;
    }
    if (!rule.endsInWord) return {true, pos};
    const auto boundaryAt = [&](std::size_t at) {
        return at >= text.size() || !IsWordChar(CharAt(text, at).codePoint);
    };
    if (boundaryAt(pos)) return {true, pos};
    const auto letterAt = [&](std::size_t at, char letter) {
        return at < text.size() && Folded(static_cast<unsigned char>(text[at])) == char32_t(letter);
    };
    if (letterAt(pos, 's') && boundaryAt(pos + 1)) return {true, pos};
    if (letterAt(pos, 'e') && letterAt(pos + 1, 's') && boundaryAt(pos + 2)) return {true, pos};
    return {};
}

// One piece of a pattern's replacement: literal text, or a captured group.
struct ReplacementPart {
    std::string literal;
    std::string markupLiteral;
    int group = -1;
};

struct PatternRule {
    QRegularExpression expression;
    std::vector<ReplacementPart> parts;
    int line = 0;
};

// The text being rewritten, and the byte ranges in it no later rule may touch
// (replacements made, and markup), in order.
class Rewrite {
  public:
    explicit Rewrite(std::size_t allowance) : allowance_(allowance) {}

    void Free(std::string_view bytes) { text_.append(bytes); }
    void Fixed(std::string_view bytes) {
        if (bytes.empty()) return;
        if (!fixed_.empty() && fixed_.back().second == text_.size())
            fixed_.back().second += bytes.size();
        else
            fixed_.emplace_back(text_.size(), text_.size() + bytes.size());
        text_.append(bytes);
    }
    // Whether replacing `removed` bytes by `inserted` stays within the growth allowed;
    // if so the growth is counted.
    bool Affords(std::size_t inserted, std::size_t removed) {
        if (inserted <= removed) return true;
        if (inserted - removed > allowance_) return false;
        allowance_ -= inserted - removed;
        return true;
    }
    const std::string& Text() const { return text_; }
    std::string TakeText() { return std::move(text_); }
    const std::vector<std::pair<std::size_t, std::size_t>>& FixedRanges() const { return fixed_; }

  private:
    std::string text_;
    std::vector<std::pair<std::size_t, std::size_t>> fixed_;
    std::size_t allowance_;
};

// UTF-16 for the pattern engine, with the byte offset in the UTF-8 text at which the
// character of every unit starts (and the text's size after the last one). Bytes
// that are not UTF-8 become U+FFFD here but stay as they were in the result.
struct Utf16Text {
    QString units;
    std::vector<std::uint32_t> byteAt;
};

// Also turns the byte ranges `fixed` into ranges of units, in the same walk.
void ToUtf16(std::string_view bytes, const std::vector<std::pair<std::size_t, std::size_t>>& fixed,
             Utf16Text& out, std::vector<std::pair<std::size_t, std::size_t>>& fixedUnits) {
    out.units.resize(static_cast<qsizetype>(bytes.size()));
    out.byteAt.resize(bytes.size() + 1);
    fixedUnits.assign(fixed.size(), {});
    QChar* units = out.units.data();
    std::size_t count = 0;
    std::size_t boundary = 0;  // of the fixed ranges' begins and ends, the next to place
    const auto boundaryByte = [&] {
        if (boundary >= fixed.size() * 2) return bytes.size() + 1;
        const auto& range = fixed[boundary / 2];
        return boundary % 2 == 0 ? range.first : range.second;
    };
    std::size_t nextBoundary = boundaryByte();
    const auto placeBoundaries = [&](std::size_t pos) {
        for (; nextBoundary <= pos; nextBoundary = boundaryByte()) {
            auto& range = fixedUnits[boundary / 2];
            (boundary % 2 == 0 ? range.first : range.second) = count;
            ++boundary;
        }
    };
    for (std::size_t pos = 0; pos < bytes.size();) {
        placeBoundaries(pos);
        // Plain ASCII up to the next boundary in one tight loop: most text is.
        const std::size_t runEnd = std::min(nextBoundary, bytes.size());
        while (pos < runEnd && static_cast<unsigned char>(bytes[pos]) < 0x80) {
            units[count] = QChar(static_cast<char16_t>(bytes[pos]));
            out.byteAt[count++] = static_cast<std::uint32_t>(pos++);
        }
        if (pos >= runEnd) continue;
        const auto at = static_cast<std::uint32_t>(pos);
        const Char c = CharAt(bytes, pos);
        if (c.codePoint >= 0x10000 && c.codePoint < kBlankRun) {
            units[count] = QChar(QChar::highSurrogate(c.codePoint));
            out.byteAt[count++] = at;
            units[count] = QChar(QChar::lowSurrogate(c.codePoint));
        } else {
            units[count] = QChar(c.codePoint == kNotAChar ? char16_t{0xFFFD}
                                                          : static_cast<char16_t>(c.codePoint));
        }
        out.byteAt[count++] = at;
        pos += c.length;
    }
    placeBoundaries(bytes.size());
    out.units.truncate(static_cast<qsizetype>(count));
    out.byteAt.resize(count + 1);
    out.byteAt[count] = static_cast<std::uint32_t>(bytes.size());
}

// Every pattern rule, in file order, searched in the text as the word rules left it.
// A match reaching into a range no rule may touch (a word replacement, markup, a match
// an earlier pattern took) is not taken, and the search goes on after that range.
// One UTF-16 copy serves every pattern; the result is built once at the end.
std::string ApplyPatterns(const std::vector<PatternRule>& patterns, Rewrite& text, bool markup) {
    if (patterns.empty()) return text.TakeText();
    Utf16Text subject;
    std::vector<std::pair<std::size_t, std::size_t>> fixedUnits;
    ToUtf16(text.Text(), text.FixedRanges(), subject, fixedUnits);
    std::map<std::size_t, std::size_t> untouchable(fixedUnits.begin(), fixedUnits.end());
    struct Replacement {
        std::size_t endByte;
        std::string bytes;
    };
    std::map<std::size_t, Replacement> replacements;  // by the byte where each starts
    const std::string_view source = text.Text();
    const auto unitCount = static_cast<std::size_t>(subject.units.size());
    for (const PatternRule& rule : patterns) {
        std::size_t offset = 0;
        while (offset <= unitCount) {
            const QRegularExpressionMatch match =
                // The UTF-16 made above is always valid: no need to check it at every call.
                rule.expression.match(subject.units, static_cast<qsizetype>(offset),
                                      QRegularExpression::NormalMatch,
                                      QRegularExpression::DontCheckSubjectStringMatchOption);
            if (!match.hasMatch()) break;
            const auto start = static_cast<std::size_t>(match.capturedStart());
            const auto end = static_cast<std::size_t>(match.capturedEnd());
            if (end == start) {  // nothing to replace; step over one character
                offset =
                    start + (start < unitCount && subject.units[start].isHighSurrogate() ? 2 : 1);
                continue;
            }
            auto blocking = untouchable.upper_bound(start);
            if (blocking != untouchable.begin() && std::prev(blocking)->second > start) --blocking;
            if (blocking != untouchable.end() && blocking->first < end) {
                offset = blocking->second;
                continue;
            }
            offset = end;
            std::string bytes;
            for (const ReplacementPart& part : rule.parts) {
                if (part.group < 0) {
                    bytes += markup ? part.markupLiteral : part.literal;
                } else if (match.capturedStart(part.group) >= 0) {
                    const std::size_t from = subject.byteAt[match.capturedStart(part.group)];
                    const std::size_t to = subject.byteAt[match.capturedEnd(part.group)];
                    bytes.append(source.substr(from, to - from));
                }
            }
            const std::size_t startByte = subject.byteAt[start];
            const std::size_t endByte = subject.byteAt[end];
            if (!text.Affords(bytes.size(), endByte - startByte)) continue;
            untouchable.emplace(start, end);
            replacements.emplace(startByte, Replacement{endByte, std::move(bytes)});
        }
    }
    if (replacements.empty()) return text.TakeText();
    std::string result;
    std::size_t copied = 0;
    for (const auto& [startByte, replacement] : replacements) {
        result.append(source.substr(copied, startByte - copied));
        result += replacement.bytes;
        copied = replacement.endByte;
    }
    result.append(source.substr(copied));
    return result;
}

}  // namespace

struct Pronunciations::Rules {
    std::string source;
    std::vector<WordRule> words;  // best first: longer left side, capitals, earlier line
    // Indexes into `words` (ascending, so best first) by the folded first word.
    std::unordered_map<std::u32string, std::vector<std::uint32_t>> byFirstWord;
    std::vector<PatternRule> patterns;

    void ReplaceWords(std::string_view text, Rewrite& out, bool markup) const;
};

void Pronunciations::Rules::ReplaceWords(std::string_view text, Rewrite& out, bool markup) const {
    if (words.empty()) {
        out.Free(text);
        return;
    }
    std::u32string key;
    std::size_t pos = 0;
    std::size_t copied = 0;
    bool inWord = false;
    while (pos < text.size()) {
        const Char c = CharAt(text, pos);
        if (!IsWordChar(c.codePoint) || inWord) {
            inWord = IsWordChar(c.codePoint);
            pos += c.length;
            continue;
        }
        // A word starts here: its folded form, and that without an ending "s" or "es",
        // find the rules that may match.
        key.clear();
        std::size_t wordEnd = pos;
        for (Char d = c; wordEnd < text.size() && IsWordChar((d = CharAt(text, wordEnd)).codePoint);
             wordEnd += d.length)
            key.push_back(Folded(d.codePoint));
        std::size_t best = words.size();
        WordMatch bestMatch;
        const auto consider = [&](const std::u32string& first) {
            const auto found = byFirstWord.find(first);
            if (found == byFirstWord.end()) return;
            for (const std::uint32_t index : found->second) {
                if (index >= best) return;
                const WordMatch match = MatchWordRule(words[index], text, pos);
                if (match.found) {
                    best = index;
                    bestMatch = match;
                    return;
                }
            }
        };
        consider(key);
        if (key.size() > 1 && key.back() == U's') {
            key.pop_back();
            consider(key);
            if (key.size() > 1 && key.back() == U'e') {
                key.pop_back();
                consider(key);
            }
        }
        if (best < words.size()) {
            const WordRule& rule = words[best];
            const std::string& replacement = markup ? rule.markupReplacement : rule.replacement;
            if (out.Affords(replacement.size(), bestMatch.end - pos)) {
                out.Free(text.substr(copied, pos - copied));
                out.Fixed(replacement);
                copied = pos = bestMatch.end;
                inWord = rule.endsInWord;  // an ending "s"/"es" is passed over as word
                continue;
            }
        }
        pos = wordEnd;
        inWord = true;
    }
    out.Free(text.substr(copied));
}

namespace {

class RuleParser {
  public:
    explicit RuleParser(std::vector<RuleProblem>& problems) : problems_(problems) {}

    void Line(std::string_view text, int line, std::vector<WordRule>& words,
              std::vector<PatternRule>& patterns) {
        line_ = line;
        if (!IsUtf8(text)) {
            Problem("is not UTF-8 text");
            return;
        }
        text = Trim(text);
        if (text.empty() || text.front() == '#') return;
        if (text.front() == '/') {
            PatternRule rule;
            if (Pattern(text, rule, patterns.size())) patterns.push_back(std::move(rule));
        } else {
            WordRule rule;
            if (Word(text, rule)) words.push_back(std::move(rule));
        }
    }

  private:
    bool Problem(const std::string& message) {
        problems_.push_back({line_, "line " + std::to_string(line_) + ": " + message});
        return false;
    }

    bool CheckReplacement(std::string_view replacement) {
        if (replacement.size() > kMaxReplacementBytes)
            return Problem("the replacement is longer than " +
                           std::to_string(kMaxReplacementBytes) + " bytes");
        for (const char c : replacement) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '<' || c == '>' || byte < 0x20 || byte == 0x7F)
                return Problem(
                    "the replacement holds \"<\", \">\" or a control character; it "
                    "is a respelling, not markup");
        }
        return true;
    }

    bool Word(std::string_view text, WordRule& rule) {
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            return Problem("no \"=\" between the word and its replacement");
        const std::string_view left = Trim(text.substr(0, equals));
        const std::string_view right = Trim(text.substr(equals + 1));
        if (left.empty()) return Problem("no word before \"=\"");
        if (left.size() > kMaxWordBytes)
            return Problem("the word is longer than " + std::to_string(kMaxWordBytes) + " bytes");
        if (!CheckReplacement(right)) return false;
        std::u32string characters;
        for (std::size_t pos = 0; pos < left.size();) {
            const Char c = CharAt(left, pos);
            pos += c.length;
            if (!IsBlankChar(c.codePoint)) {
                characters.push_back(c.codePoint);
                rule.caseSensitive |= QChar::toLower(c.codePoint) != c.codePoint;
            } else if (!characters.empty() && characters.back() != kBlankRun) {
                characters.push_back(kBlankRun);
            }
        }
        if (!characters.empty() && characters.back() == kBlankRun) characters.pop_back();
        if (characters.empty() || !IsWordChar(characters.front()))
            return Problem(
                "a word rule starts with a letter or digit (use /pattern/ for "
                "other text)");
        rule.endsInWord = IsWordChar(characters.back());
        for (const char32_t c : characters)
            rule.left.push_back(c == kBlankRun ? c : rule.caseSensitive ? Exact(c) : Folded(c));
        rule.replacement = right;
        rule.markupReplacement = EscapeForMarkup(right);
        rule.line = line_;
        const auto [seen, added] =
            seenWords_.emplace(std::make_pair(rule.caseSensitive, rule.left), line_);
        if (!added)
            return Problem("\"" + std::string(left) + "\" already has a rule (line " +
                           std::to_string(seen->second) + ")");
        bool inWord = false;
        for (std::size_t pos = 0; pos < right.size();) {
            const Char c = CharAt(right, pos);
            if (!inWord && IsWordChar(c.codePoint) && MatchWordRule(rule, right, pos).found)
                return Problem("the replacement holds the word \"" + std::string(left) +
                               "\" itself");
            inWord = IsWordChar(c.codePoint);
            pos += c.length;
        }
        return true;
    }

    bool Pattern(std::string_view text, PatternRule& rule, std::size_t patternsSoFar) {
        std::size_t close = 1;
        while (close < text.size() && text[close] != '/') close += text[close] == '\\' ? 2 : 1;
        if (close >= text.size()) return Problem("the pattern has no closing \"/\"");
        const std::string_view pattern = text.substr(1, close - 1);
        std::string_view rest = text.substr(close + 1);
        bool ignoreCase = false;
        while (!rest.empty() && ((rest.front() >= 'a' && rest.front() <= 'z') ||
                                 (rest.front() >= 'A' && rest.front() <= 'Z'))) {
            if (rest.front() != 'i')
                return Problem("unknown flag \"" + std::string(1, rest.front()) +
                               "\" after the pattern (only i, to ignore case)");
            ignoreCase = true;
            rest.remove_prefix(1);
        }
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '=')
            return Problem("no \"=\" after the pattern's closing \"/\"");
        const std::string_view right = Trim(rest.substr(1));
        if (pattern.empty()) return Problem("the pattern is empty");
        if (pattern.size() > kMaxPatternBytes)
            return Problem("the pattern is longer than " + std::to_string(kMaxPatternBytes) +
                           " bytes");
        if (patternsSoFar >= kMaxPatternRules)
            return Problem("more than " + std::to_string(kMaxPatternRules) +
                           " pattern rules; this one is left out");
        if (!CheckReplacement(right)) return false;
        QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
        if (ignoreCase) options |= QRegularExpression::CaseInsensitiveOption;
        const QString prefixed = QString::fromUtf8(kMatchLimit.data(), kMatchLimit.size()) +
                                 QString::fromUtf8(pattern.data(), pattern.size());
        rule.expression = QRegularExpression(prefixed, options);
        if (!rule.expression.isValid())
            return Problem("the pattern is not valid: " +
                           rule.expression.errorString().toStdString() + " (at character " +
                           std::to_string(rule.expression.patternErrorOffset() -
                                          static_cast<qsizetype>(kMatchLimit.size()) + 1) +
                           ")");
        if (MatchesNothing(rule.expression))
            return Problem(
                "the pattern matches an empty text, so it would replace nothing "
                "everywhere");
        rule.line = line_;
        return Replacement(right, rule);
    }

    // Whether the pattern can match no characters, tried on the empty text and a few
    // short ones (the search also passes over such matches whenever they happen).
    static bool MatchesNothing(const QRegularExpression& expression) {
        for (const QString& probe :
             {QString(), QStringLiteral("a"), QStringLiteral("Ab 1.\n'x' ")}) {
            QRegularExpressionMatchIterator matches = expression.globalMatch(probe);
            while (matches.hasNext())
                if (matches.next().capturedLength() == 0) return true;
        }
        return false;
    }

    bool Replacement(std::string_view text, PatternRule& rule) {
        std::string literal;
        const auto flush = [&] {
            if (literal.empty()) return;
            rule.parts.push_back({literal, EscapeForMarkup(literal), -1});
            literal.clear();
        };
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '$') {
                literal += text[i];
                continue;
            }
            const char next = i + 1 < text.size() ? text[i + 1] : '\0';
            ++i;
            if (next == '$') {
                literal += '$';
            } else if (next >= '0' && next <= '9') {
                const int group = next - '0';
                if (group > rule.expression.captureCount())
                    return Problem("the replacement uses $" + std::to_string(group) +
                                   " but the pattern has " +
                                   std::to_string(rule.expression.captureCount()) + " group(s)");
                flush();
                rule.parts.push_back({{}, {}, group});
            } else {
                return Problem(
                    "\"$\" in a replacement is followed by a group number 0-9 or "
                    "by \"$\"");
            }
        }
        flush();
        rule.expression.optimize();
        return true;
    }

    std::vector<RuleProblem>& problems_;
    int line_ = 0;
    std::map<std::pair<bool, std::u32string>, int> seenWords_;
};

const std::string& NoSource() {
    static const std::string empty;
    return empty;
}

}  // namespace

Pronunciations::Pronunciations() = default;
Pronunciations::~Pronunciations() = default;
Pronunciations::Pronunciations(const Pronunciations&) = default;
Pronunciations& Pronunciations::operator=(const Pronunciations&) = default;
Pronunciations::Pronunciations(Pronunciations&&) noexcept = default;
Pronunciations& Pronunciations::operator=(Pronunciations&&) noexcept = default;

Pronunciations Pronunciations::Parse(std::string_view fileBytes,
                                     std::vector<RuleProblem>& problems) {
    auto rules = std::make_shared<Rules>();
    rules->source = fileBytes;
    std::string_view rest = fileBytes;
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    RuleParser parser(problems);
    for (int line = 1; !rest.empty(); ++line) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        parser.Line(rest.substr(0, end), line, rules->words, rules->patterns);
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    std::stable_sort(rules->words.begin(), rules->words.end(),
                     [](const WordRule& a, const WordRule& b) {
                         if (a.left.size() != b.left.size()) return a.left.size() > b.left.size();
                         return a.caseSensitive && !b.caseSensitive;
                     });
    for (std::uint32_t index = 0; index < rules->words.size(); ++index) {
        const std::u32string& left = rules->words[index].left;
        std::u32string first;
        for (const char32_t c : left) {
            if (!IsWordChar(c)) break;
            first.push_back(Folded(c));
        }
        rules->byFirstWord[first].push_back(index);
    }
    Pronunciations parsed;
    parsed.rules_ = std::move(rules);
    return parsed;
}

bool Pronunciations::Empty() const {
    return RuleCount() == 0;
}

std::size_t Pronunciations::RuleCount() const {
    return rules_ ? rules_->words.size() + rules_->patterns.size() : 0;
}

const std::string& Pronunciations::Source() const {
    return rules_ ? rules_->source : NoSource();
}

std::string Pronunciations::Apply(std::string_view utf8) const {
    if (Empty() || utf8.size() > kMaxTextBytes) return std::string(utf8);
    const bool markup = LooksLikeMarkup(utf8);
    Rewrite current(utf8.size() * 3 + 4096);
    if (!markup) {
        rules_->ReplaceWords(utf8, current, false);
    } else {
        // Rules see the text between tags and character references, never those.
        std::size_t pos = 0;
        std::size_t textStart = 0;
        while (pos < utf8.size()) {
            const std::size_t next = utf8.find_first_of("<&", pos);
            if (next == std::string_view::npos) break;
            const std::size_t length = utf8[next] == '<' ? MarkupTagLength(utf8, next)
                                                         : CharacterReferenceLength(utf8, next);
            if (length == 0) {
                pos = next + 1;
                continue;
            }
            rules_->ReplaceWords(utf8.substr(textStart, next - textStart), current, true);
            current.Fixed(utf8.substr(next, length));
            pos = textStart = next + length;
        }
        rules_->ReplaceWords(utf8.substr(textStart), current, true);
    }
    return ApplyPatterns(rules_->patterns, current, markup);
}

}  // namespace sonoleaf::text
