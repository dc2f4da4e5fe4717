#pragma once
// The user's pronunciation list: rules that respell, before synthesis, the words a
// voice gets wrong ("Sonoleaf = sonno leaf"), read from one plain UTF-8 file.
//
// The file, one rule a line (a line whose first non-blank character is "#" is a
// comment; blank lines are ignored; a UTF-8 byte order mark at the start is skipped):
//
//   word = replacement
//     Whole words. The left side may be a phrase ("New York = noo york"); a blank in it
//     matches any run of white space in the text, line ends included. It must start
//     with a letter or digit. Words are runs of Unicode letters, digits and combining
//     marks; the straight and the typographic apostrophe count as one character. A
//     left side without capitals matches in any case (simple Unicode case folding,
//     one character to one); one with capitals matches exactly. The word followed by
//     "s" or "es" (plurals) also matches, and the ending stays after the replacement
//     ("Sonoleafs" -> "sonno leafs"); a possessive ending ('s, ’s, ') is no letter
//     and simply stays ("Sonoleaf's" -> "sonno leaf's"). Where several rules match at
//     one place, the longest left side wins, then one with capitals, then the earlier
//     line. The same left side twice is refused on its second line.
//
//   /pattern/ = replacement      or      /pattern/i = replacement
//     A Perl-compatible regular expression (PCRE2 through Qt, Unicode-aware: \w, \b
//     and case folding know every script); "i" ignores case. The first "/" not escaped
//     by a backslash ends the pattern ("\/" is a slash). In the replacement, $0 is the
//     whole match, $1 to $9 what the brackets caught and $$ a dollar sign; any other
//     "$" is refused, as is a group the pattern does not have.
//
// The replacement is everything after the first "=" (after the pattern's own end for a
// pattern), blanks trimmed from both ends. It may be empty (the word is dropped), but
// not longer than 256 bytes nor hold "<", ">" or control characters: it is a respelling
// any voice reads, never markup.
//
// Application: word rules first, in one pass from the start of the text (at every word
// the best matching rule is applied and the search goes on after it); then each pattern
// rule in file order, searched in the text as the word rules left it. Nothing inserted
// is ever searched again, so nothing loops: a pattern match that would reach into a
// word rule's replacement, markup, or a match an earlier pattern rule took is not
// taken, and that pattern's search goes on after it. A match of no characters is never
// replaced. The result depends only on the rule file's bytes and the text, so every
// process that parses the same file makes the same text.
//
// A text that looks like markup (its first non-blank character is "<", as
// TextPieces::LooksLikeMarkup decides) gets rules only between its tags; comments,
// tags and character references ("&amp;") stay as they are, and a "&" a replacement
// brings in is written "&amp;".
//
// Refused rules (reported with their line, the other rules kept): a word rule whose
// replacement holds its own word, a pattern that can match an empty text, a pattern that
// does not compile, a replacement too long; and, bounding the time a text can take,
// more than 500 pattern rules. Each pattern search is bounded (PCRE2's match limit),
// and a text never grows by more than three times its size plus 4 KiB: matches past
// that stay as written.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sonoleaf::text {

struct RuleProblem {
    int line = 0;         // 1 for the first line; 0 for the file as a whole
    std::string message;  // "line 12: ..." (or about the file), ready to show
};

class Pronunciations {
  public:
    Pronunciations();  // no rules
    ~Pronunciations();
    Pronunciations(const Pronunciations&);
    Pronunciations& operator=(const Pronunciations&);
    Pronunciations(Pronunciations&&) noexcept;
    Pronunciations& operator=(Pronunciations&&) noexcept;

    // Parses a rule file's bytes; each bad line or refused rule adds a problem (in line
    // order), and the good rules are kept.
    static Pronunciations Parse(std::string_view fileBytes, std::vector<RuleProblem>& problems);

    bool Empty() const;
    std::size_t RuleCount() const;

    // The UTF-8 text with every rule applied; bytes that are not UTF-8 pass through
    // unchanged. A text of more than 1 GiB is returned as it is. Cost: one hash look-up
    // per word of the text however many word rules there are, plus one search per
    // pattern rule. Apply changes nothing in the object, but give each thread its own
    // object (Parse(Source()) makes one): the compiled patterns belong to Qt.
    std::string Apply(std::string_view utf8) const;

    // The bytes parsed, so that the rules can travel to a helper process and be parsed
    // there again to the same rules.
    const std::string& Source() const;

  private:
    struct Rules;
    std::shared_ptr<const Rules> rules_;
};

// $XDG_CONFIG_HOME/sonoleaf/pronunciations.txt, or ~/.config/... when XDG_CONFIG_HOME is
// unset or not an absolute path.
std::string DefaultPronunciationsPath();

// Creates the file (and its folder) with a commented example when it is absent; never
// replaces an existing file. False when the file is not there and cannot be made.
bool EnsurePronunciationsFile(const std::string& path);

// Reads and parses a rule file of at most 4 MiB. A missing file is no rules and no
// problem; a larger file, a folder or an unreadable file is a problem of line 0 and no
// rules.
Pronunciations LoadPronunciations(const std::string& path, std::vector<RuleProblem>& problems);

}  // namespace sonoleaf::text
