#include "platform/text/text_convert.h"

#include <gtest/gtest.h>

#include <string>

namespace sonoleaf::text {
namespace {

using namespace std::string_literals;

struct WideCase {
    std::string narrow;
    std::u16string wide;
};

TEST(ToWide, DecodesUtf8AndStopsAtZero) {
    for (const WideCase& c : {
             WideCase{"", u""},
             WideCase{"File is saved to: /out//a.wav", u"File is saved to: /out//a.wav"},
             WideCase{"\xC5\x81\xC3\xB3"
                      "d\xC5\xBA",
                      u"Łódź"},
             WideCase{"\xF0\x9F\x98\x80", u"\U0001F600"},
             WideCase{"abc\0def"s, u"abc"},
             WideCase{"\0abc"s, u""},
             WideCase{"a\xFF"
                      "b",
                      u"a\uFFFDb"},                            // never a UTF-8 byte
             WideCase{"a\xC3", u"a\uFFFD"},                    // cut at the end
             WideCase{"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong
             WideCase{"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
             WideCase{"\xE2\x82", u"\uFFFD"},
         }) {
        EXPECT_EQ(ToWide(c.narrow), c.wide) << c.narrow;
    }
}

TEST(ToNarrow, EncodesUtf8) {
    for (const WideCase& c : {
             WideCase{"", u""}, WideCase{"\xC5\x81", u"Ł"},
             WideCase{"/home/u/\xC5\x81\xC3\xB3"
                      "d\xC5\xBA/a b\"c.txt",
                      u"/home/u/Łódź/a b\"c.txt"},
             WideCase{"\xF0\x9F\x98\x80", u"\U0001F600"},
             WideCase{"a\xEF\xBF\xBD"
                      "b",
                      u"a\xD800"
                      u"b"},                         // unpaired high
             WideCase{"a\xEF\xBF\xBD", u"a\xDC41"},  // unpaired low
         }) {
        EXPECT_EQ(ToNarrow(c.wide), c.narrow);
    }
}

TEST(ToNarrow, RoundTripsThroughToWide) {
    const std::u16string text = u"Ab Ł é ü ß 日本 \U0001F600 \r\n end";
    EXPECT_EQ(ToWide(ToNarrow(text)), text);
}

}  // namespace
}  // namespace sonoleaf::text
