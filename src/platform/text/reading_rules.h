#pragma once
// The program's own reading rules, applied to every piece a voice speaks right after
// the user's pronunciation list (so that a user's rule wins): a web or e-mail address
// is read as its site's name instead of letter by letter, and a range of years after
// "from", "in", "since", "until" or "by" is read as years.
//
//   https://www.example.com/page   -> a link to example dot com
//   www.example.com                -> a link to example dot com
//   mail@example.org               -> an e-mail address at example dot org
//   From 1949 to 1976              -> From nineteen forty nine to nineteen seventy six
//   in 1990-1995 (or an en dash)   -> in nineteen ninety to nineteen ninety five
//
// Years are written as words without hyphens, which Flite and eSpeak NG both read as
// years. Only the spoken text is rewritten: file names, tags, subtitles and messages
// keep the text as written. Tags (markup) are never rewritten, only the words
// between them.

#include <string>
#include <string_view>

namespace sonoleaf::text {

// The UTF-8 text with every address and year range respelled; a text holding neither
// comes back byte for byte.
std::string ApplyReadingRules(std::string_view utf8);

// A year (1000 to 2999) as words: 1949 "nineteen forty nine", 1905 "nineteen oh
// five", 1900 "nineteen hundred", 2000 "two thousand", 2007 "two thousand seven".
std::string YearInWords(int year);

}  // namespace sonoleaf::text
