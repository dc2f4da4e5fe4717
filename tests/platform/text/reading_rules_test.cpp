#include "platform/text/reading_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace sonoleaf::text {
namespace {

struct ReadingCase {
    const char* written;
    const char* spoken;
};

class ReadingRules : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(ReadingRules, RespellsAddressesAndYearRanges) {
    EXPECT_EQ(ApplyReadingRules(GetParam().written), GetParam().spoken);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ReadingRules,
    ::testing::Values(
        ReadingCase{"See https://www.example.com/page now.", "See a link to example dot com now."},
        ReadingCase{"See http://Example.COM.", "See a link to example dot com."},
        ReadingCase{"(www.example.com/a(b)).", "(a link to example dot com)."},
        ReadingCase{"at https://docs.example.co.uk:8080/x?q=1&r=2#top, then",
                    "at a link to docs dot example dot co dot uk, then"},
        ReadingCase{"\xE2\x80\x9Chttps://example.com/K\xC3\xB6ln\xE2\x80\x9D",
                    "\xE2\x80\x9C"
                    "a link to example dot com\xE2\x80\x9D"},
        ReadingCase{"Write to mail@example.org.", "Write to an e-mail address at example dot org."},
        ReadingCase{"mailto:first.last+tag@mail.example.org",
                    "an e-mail address at mail dot example dot org"},
        ReadingCase{
            "<p>Go to <a href=\"https://example.com/x\">www.example.com</a></p>",
            "<p>Go to <a href=\"https://example.com/x\">a link to example dot com</a></p>"}));

INSTANTIATE_TEST_SUITE_P(
    Years, ReadingRules,
    ::testing::Values(
        ReadingCase{"From 1949 to 1976", "From nineteen forty nine to nineteen seventy six"},
        ReadingCase{"in 1990-1995.", "in nineteen ninety to nineteen ninety five."},
        ReadingCase{"in 1990\xE2\x80\x93"
                    "1995",
                    "in nineteen ninety to nineteen ninety five"},
        ReadingCase{"since 1900 \xE2\x80\x94 2005", "since nineteen hundred to two thousand five"},
        ReadingCase{"by 1905 until 2010", "by nineteen oh five until twenty ten"},
        ReadingCase{"from 1000 to 2009", "from one thousand to two thousand nine"},
        ReadingCase{"in 2024-2100", "in twenty twenty four to twenty one hundred"},
        ReadingCase{"Until\xC2\xA0"
                    "1999 and 2000",
                    "Until\xC2\xA0nineteen ninety nine and two thousand"}));

// Nothing to respell: the text comes back byte for byte.
INSTANTIATE_TEST_SUITE_P(
    Unchanged, ReadingRules,
    ::testing::Values(ReadingCase{"", ""},
                      ReadingCase{"Plain words, 42 of them.", "Plain words, 42 of them."},
                      ReadingCase{"file.txt and Node.js", "file.txt and Node.js"},
                      ReadingCase{"1949 to 1976 alone", "1949 to 1976 alone"},
                      ReadingCase{"in 2000-1000 units", "in 2000-1000 units"},
                      ReadingCase{"call 1990-1995-2000", "call 1990-1995-2000"},
                      ReadingCase{"in 1990-1995-2000", "in 1990-1995-2000"},
                      ReadingCase{"from 1990s to 2000s", "from 1990s to 2000s"},
                      ReadingCase{"into 1990 to 1995", "into 1990 to 1995"},
                      ReadingCase{"a @ b, x@y, user@localhost", "a @ b, x@y, user@localhost"},
                      ReadingCase{"www.example", "www.example"},
                      ReadingCase{"<audio src=\"http://example.com/a.wav\"/>",
                                  "<audio src=\"http://example.com/a.wav\"/>"},
                      ReadingCase{"caf\xC3\xA9 \xFF\xFE bytes", "caf\xC3\xA9 \xFF\xFE bytes"}));

}  // namespace
}  // namespace sonoleaf::text
