#include "platform/text/markup_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace sonoleaf::text {
namespace {

// One reading of markup for both synthesizers, the rules and the subtitles: a "<" that
// opens no tag is text, whichever engine speaks it.
TEST(MarkupScan, TagsAndWordsAsEveryPartReadsThem) {
    struct Case {
        std::string markup;
        std::size_t tagLength;  // of the tag at the start
        std::string words;
    };
    const Case cases[] = {
        {"<speak>Hello</speak>", 7, " Hello "},
        {"<s a='x>y'>Fish &amp; chips</s>", 11, " Fish & chips "},
        {"<!-- note -->A&#233;&#xE9;", 13, " Aéé"},
        {"<!-- never closed", 0, "<!-- never closed"},
        {"<break/>two<p>words</p>", 8, " two words "},
        {"< 3 < 4", 0, "< 3 < 4"},
        {"<unclosed tag and then text", 0, "<unclosed tag and then text"},
        {"<b>&bogus; &#0; &#xD800;</b>", 3, " &bogus; \xEF\xBF\xBD \xEF\xBF\xBD "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MarkupTagLength(c.markup, 0), c.tagLength) << c.markup;
        EXPECT_EQ(MarkupToPlainText(c.markup), c.words) << c.markup;
    }
}

}  // namespace
}  // namespace sonoleaf::text
