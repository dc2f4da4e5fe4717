#include "platform/text/output_names.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <regex>
#include <string>

#include "platform/text/text_convert.h"

namespace sonoleaf::text {
namespace {

std::u16string Stamp() {
    return u"STAMP";
}

struct NameCase {
    std::u16string path;
    std::u16string stem;      // FileStem: no fallback
    std::u16string baseName;  // OutputBaseName with the stamp "STAMP"
};

class OutputNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(OutputNames, StemAndBaseName) {
    const NameCase& c = GetParam();
    EXPECT_EQ(FileStem(c.path), c.stem) << ToNarrow(c.path);
    EXPECT_EQ(OutputBaseName(c.path, Stamp), c.baseName) << ToNarrow(c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OutputNames,
    ::testing::Values(
        NameCase{u"/docs/book.txt", u"book", u"book"},
        NameCase{u"/docs/archive.tar.gz", u"archive.tar", u"archive.tar"},
        NameCase{u"/docs/README", u"", u"STAMP"}, NameCase{u"/my.docs/README", u"", u"STAMP"},
        NameCase{u"/my.books/readme", u"", u"STAMP"}, NameCase{u"/Books/readme", u"", u"STAMP"},
        // A bare name: start and end are both 0, so one character.
        NameCase{u"notes", u"n", u"STAMP"}, NameCase{u"/docs/a.pdf", u"a", u"STAMP"},
        NameCase{u"/Books/a.txt", u"a", u"STAMP"}, NameCase{u"/docs/ab.pdf", u"ab", u"ab"},
        NameCase{u"/Books/my.notes.txt", u"my.notes", u"my.notes"},
        NameCase{u"report.final.pdf", u"report.final", u"report.final"},
        NameCase{u"/Books/chapter1.txt", u"chapter1", u"chapter1"},
        NameCase{u"/docs/.hidden", u"", u"STAMP"}, NameCase{u"", u"", u"STAMP"},
        NameCase{u"/docs/", u"", u"STAMP"},
        // The backslash is no separator here.
        NameCase{u"C:\\docs\\book.txt", u"C:\\docs\\book", u"C:\\docs\\book"},
        NameCase{u"/docs/Łódź.txt", u"Łódź", u"Łódź"}));

TEST(OutputNames, DefaultStampIsUsedForShortNames) {
    const std::u16string name = OutputBaseName(u"/docs/a.pdf");
    EXPECT_TRUE(
        std::regex_match(ToNarrow(name), std::regex(R"(\d{6}_[A-Za-z]+_[A-Za-z]+_\d{2}_\d{4})")))
        << ToNarrow(name);
}

struct SuffixCase {
    std::int32_t number;
    std::u16string suffix;
};

TEST(OutputNames, NumberSuffix) {
    for (const SuffixCase& c :
         {SuffixCase{1, u"_1"}, SuffixCase{12, u"_12"}, SuffixCase{007, u"_7"},
          SuffixCase{33554432, u"_33554432"}, SuffixCase{2147483647, u"_2147483647"}}) {
        EXPECT_EQ(NumberSuffix(c.number), c.suffix) << c.number;
    }
}

// Builds a time_t for a local wall-clock time.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

TEST(TimeStamp, FormatsInTheCLocale) {
    struct Case {
        std::time_t when;
        std::u16string stamp;
    };
    for (const Case& c :
         {Case{LocalTime(2026, 12, 6, 14, 30, 5), u"143005_Sunday_December_06_2026"},
          Case{LocalTime(2026, 12, 7, 9, 5, 7), u"090507_Monday_December_07_2026"},
          Case{LocalTime(2024, 2, 29, 0, 0, 0), u"000000_Thursday_February_29_2024"}}) {
        EXPECT_EQ(MakeTimeStamp(c.when), c.stamp);
    }
}

TEST(TimeStamp, IgnoresTheProgramLocale) {
    const std::time_t when = LocalTime(2026, 12, 6, 14, 30, 5);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    // Any installed non-English locale would do; C.UTF-8 at least changes the codeset.
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) == nullptr) continue;
        EXPECT_EQ(MakeTimeStamp(when), u"143005_Sunday_December_06_2026") << name;
    }
    std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace sonoleaf::text
