#include "platform/text/byte_text.h"

#include <gtest/gtest.h>

#include <string>

namespace sonoleaf::text {
namespace {

using namespace std::string_literals;

TEST(ByteText, MapsEveryByteToOneCharacter) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const std::u16string text = BytesToText(all);
    ASSERT_EQ(text.size(), 256u);
    for (int b = 0; b < 256; ++b) {
        const char16_t expected =
            b < 128 ? static_cast<char16_t>(b) : static_cast<char16_t>(0xDC00 + b);
        EXPECT_EQ(text[b], expected) << b;
        EXPECT_EQ(ByteToChar(static_cast<unsigned char>(b)), expected) << b;
    }
    EXPECT_EQ(TextToBytes(text), all);
}

TEST(ByteText, TextToBytesEncodesOtherCharactersAsUtf8) {
    EXPECT_EQ(TextToBytes(u"Ł\U0001F600"), "\xC5\x81\xF0\x9F\x98\x80");
    // A real pair whose low half lies in the byte range stays one character.
    EXPECT_EQ(TextToBytes(u"\U0001F480"), "\xF0\x9F\x92\x80");
    EXPECT_EQ(TextToBytes(u"a\xD800"), "a\xEF\xBF\xBD");
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string text;
};

TEST(DecodeTextFile, ChoosesTheEncoding) {
    for (const DecodeCase& c : {
             DecodeCase{"empty", "", u""},
             DecodeCase{"ascii", "Hello\r\nworld", u"Hello\r\nworld"},
             DecodeCase{"utf-8 bom",
                        "\xEF\xBB\xBF"
                        "caf\xC3\xA9",
                        u"café"},
             DecodeCase{"utf-8 bom only", "\xEF\xBB\xBF", u""},
             DecodeCase{"utf-8",
                        "\xC5\x81\xC3\xB3"
                        "d\xC5\xBA",
                        u"Łódź"},
             DecodeCase{"utf-16le",
                        "\xFF\xFE"
                        "A\0\x41\x01"s,
                        u"AŁ"},
             DecodeCase{"utf-16be", "\xFE\xFF\0A\x01\x41"s, u"AŁ"},
             DecodeCase{"utf-16le pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, u"\U0001F600"},
             DecodeCase{"utf-16le odd byte",
                        "\xFF\xFE"
                        "A\0B"s,
                        u"A"},
             DecodeCase{"utf-16le lone surrogate", "\xFF\xFE\x80\xDC"s, u"\uFFFD"},
             DecodeCase{"windows-1252", "caf\xE9 \x80 \x93quoted\x94", u"café € “quoted”"},
             DecodeCase{"windows-1252 undefined",
                        "a\x81"
                        "b",
                        u"a\uFFFDb"},
             DecodeCase{"nul bytes", "a\0b"s, u"a\0b"s},
         }) {
        EXPECT_EQ(DecodeTextFile(c.bytes), c.text) << c.name;
    }
}

struct SynthesisCase {
    const char* name;
    std::u16string text;
    std::string utf8;
};

TEST(TextForSynthesis, DecodesByteCharactersAndDropsWhatIsNoText) {
    for (const SynthesisCase& c : {
             SynthesisCase{"plain", u"Hello world", "Hello world"},
             SynthesisCase{"wide characters", u"Łódź \U0001F600",
                           "\xC5\x81\xC3\xB3"
                           "d\xC5\xBA \xF0\x9F\x98\x80"},
             SynthesisCase{"utf-8 bytes", BytesToText("caf\xC3\xA9 \xE2\x80\x99"),
                           "caf\xC3\xA9 \xE2\x80\x99"},
             SynthesisCase{"1252 bytes", BytesToText("caf\xE9 ok"), "caf\xC3\xA9 ok"},
             // One invalid run makes the text's bytes Windows-1252 throughout.
             SynthesisCase{"mixed runs", BytesToText("\xC3\xA9 \xE9 x"),
                           "\xC3\x83\xC2\xA9 \xC3\xA9 x"},
             SynthesisCase{"split at the end", BytesToText("ab \xE2\x80"), "ab "},
             SynthesisCase{"split at the start", BytesToText("\x80\x99 ab"), " ab"},
             SynthesisCase{"split at both ends", BytesToText("\xA9x\xC3"), "x"},
             // Only the text's edges may hold a piece of a character.
             SynthesisCase{"split inside", BytesToText("a\xC3 b"), "a\xC3\x83 b"},
             SynthesisCase{"nul", u"a\0b"s, "ab"},
             SynthesisCase{"nul byte", BytesToText("a\0b"s), "ab"},
             SynthesisCase{"unpaired high",
                           u"a\xD800"
                           "b",
                           "ab"},
             SynthesisCase{"unpaired low",
                           u"a\xDC10"
                           "b",
                           "ab"},
             SynthesisCase{"real pair in byte range", u"\U0001F480", "\xF0\x9F\x92\x80"},
             SynthesisCase{"empty", u"", ""},
         }) {
        EXPECT_EQ(TextForSynthesis(c.text), c.utf8) << c.name;
    }
}

TEST(TextForSynthesis, CuttingUtf8AnywhereNeverYieldsBrokenCharacters) {
    // Every cut of a UTF-8 text gives two pieces that are valid UTF-8 and together
    // lose at most the one character the cut went through.
    const std::string book = "Z\xC5\xBC\xC3\xB3\xC5\x82w \xE2\x80\x99tis \xF0\x9F\x98\x80 end";
    for (std::size_t cut = 0; cut <= book.size(); ++cut) {
        const std::string head = TextForSynthesis(BytesToText(book.substr(0, cut)));
        const std::string tail = TextForSynthesis(BytesToText(book.substr(cut)));
        const std::string joined = head + tail;
        EXPECT_LE(book.size() - joined.size(), 4u) << cut;
        EXPECT_EQ(book.find(head), 0u) << cut;
        EXPECT_TRUE(book.ends_with(tail)) << cut;
    }
}

}  // namespace
}  // namespace sonoleaf::text
