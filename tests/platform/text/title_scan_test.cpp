#include "platform/text/title_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace sonoleaf::text {
namespace {

std::vector<std::string> Passages(std::string_view bytes) {
    std::vector<std::string> passages;
    for (const TitlePair& pair : ScanTitlePairs(bytes)) {
        passages.emplace_back(bytes.substr(pair.passageBegin, pair.passageEnd - pair.passageBegin));
    }
    return passages;
}

struct ScanCase {
    const char* name;
    std::string text;
    std::vector<std::string> passages;
};

TEST(TitleScan, PassagesOfTable) {
    const ScanCase cases[] = {
        {"two pairs among text",
         "Intro<title>One</title>middle<title>Two</title>end",
         {"One", "Two"}},
        {"empty text", "", {}},
        {"no tags", "just words", {}},
        {"empty first pair", "<title></title><title>Text</title>", {"", "Text"}},
        {"only an empty pair", "<title></title>", {""}},
        {"nested opening tag is text", "<title>a<title>b</title>", {"a<title>b"}},
        {"opening tag without closing one ends the scan", "<title>a</title><title>b", {"a"}},
        {"unclosed tag hides later pairs", "<title>x<title>", {}},
        {"lone opening tag", "<title>abc", {}},
        {"closing tag before the first opening one", "</title>x<title>y</title>", {"y"}},
        {"stray closing tag after a pair", "<title>a</title>b</title>c", {"a"}},
        {"closing tags back to back", "<title></title></title>", {""}},
        {"upper case", "<TITLE>x</TITLE>", {}},
        {"mixed case", "<Title>x</Title>", {}},
        {"upper-case closing tag", "<title>x</TITLE>", {}},
        {"blank inside brackets", "< title>x</title>", {}},
        {"blank before bracket", "<title >x</title >", {}},
        {"attribute", "<title id=\"1\">x</title>", {}},
        {"line ends kept", "<title>a\r\nb\nc\r</title>", {"a\r\nb\nc\r"}},
        {"tag split by a NUL byte", std::string("<tit\0le>x</title>", 17), {}},
        {"NUL and high bytes inside",
         std::string("<title>\0\xff\xc3\xa9</title>", 19),
         {std::string("\0\xff\xc3\xa9", 4)}},
        {"tags right after each other",
         "<title>1</title><title>2</title><title>3</title>",
         {"1", "2", "3"}},
        {"partial tags", "<titl</titl<title/title>", {}},
        {"slash-title right after opening tag", "<title>/title></title>", {"/title>"}},
        {"opening tag inside closing tag text",
         "<title>a</title<title>b</title>",
         {"a</title<title>b"}},
    };
    for (const ScanCase& c : cases) {
        EXPECT_EQ(Passages(c.text), c.passages) << c.name;
    }
}

TEST(TitleScan, FindsFromTheGivenPosition) {
    const std::string text = "<title>a</title><title>b</title>";
    EXPECT_EQ(FindTitlePair(text, 0), (TitlePair{7, 8, 9}));
    EXPECT_EQ(FindTitlePair(text, 1), (TitlePair{23, 24, 25}));
    EXPECT_EQ(FindTitlePair(text, 25), std::nullopt);
    EXPECT_EQ(FindTitlePair(text, text.size()), std::nullopt);
    EXPECT_EQ(FindTitlePair(text, text.size() + 10), std::nullopt);
}

// The scan as its steps read, one byte position at a time, to hold the real one to.
std::vector<TitlePair> ReferenceScan(const std::string& bytes) {
    auto at = [&](std::size_t i, const std::string& tag) {
        return bytes.compare(i, tag.size(), tag) == 0 && i + tag.size() <= bytes.size();
    };
    std::vector<TitlePair> pairs;
    std::size_t position = 0;
    while (true) {
        std::size_t opening = position;
        while (opening < bytes.size() && !at(opening, "<title>")) ++opening;
        if (opening >= bytes.size()) break;
        std::size_t closing = opening + 1;
        while (closing < bytes.size() && !at(closing, "</title>")) ++closing;
        if (closing >= bytes.size()) break;
        pairs.push_back({opening + 7, closing, closing + 1});
        position = closing + 1;
    }
    return pairs;
}

TEST(TitleScan, AgreesWithByteByByteScanOnRandomTexts) {
    // Texts built from tag fragments so that near-misses and overlaps are common.
    const std::vector<std::string> pieces = {
        "<title>", "</title>", "<", "/", "title", ">", "x", "\n", "<titl", "</title", "e>"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        EXPECT_EQ(ScanTitlePairs(text), ReferenceScan(text)) << text;
    }
}

TEST(TitleScan, HundredThousandPairs) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "words <title>passage</title>\n";
    const std::vector<TitlePair> pairs = ScanTitlePairs(text);
    ASSERT_EQ(pairs.size(), 100000u);
    EXPECT_EQ(text.substr(pairs.back().passageBegin, 7), "passage");
}

}  // namespace
}  // namespace sonoleaf::text
