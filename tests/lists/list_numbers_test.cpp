#include "lists/list_numbers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace sonoleaf {
namespace {

struct NumberCase {
    std::u16string text;
    std::optional<std::int32_t> value;
};

std::u16string Repeat(char16_t c, std::size_t count) {
    return std::u16string(count, c);
}

// Cases both fields share; only the empty field differs between them.
const NumberCase kSharedCases[] = {
    {u"1", 1},
    {u"7", 7},
    {u"007", 7},
    {u"1000", 1000},
    {u"33554432", 33554432},
    {u"033554432", 33554432},
    {Repeat(u'0', 10000) + u"42", 42},
    {u"0", std::nullopt},
    {u"000", std::nullopt},
    {u"-5", std::nullopt},
    {u"+5", std::nullopt},
    {u" 5", std::nullopt},
    {u"5 ", std::nullopt},
    {u"5\t", std::nullopt},
    {u"1 000", std::nullopt},
    {u"1,000", std::nullopt},
    {u"1.5", std::nullopt},
    {u"1e3", std::nullopt},
    {u"12a", std::nullopt},
    {u"0x10", std::nullopt},
    {u"33554433", std::nullopt},
    {u"4294967297", std::nullopt},  // wraps to 1 in 32 bits
    {u"2147483648", std::nullopt},
    {Repeat(u'9', 20), std::nullopt},
    {Repeat(u'9', 10000), std::nullopt},
    {u"1" + Repeat(u'0', 9999), std::nullopt},
    {Repeat(u'9', 10000) + u"x", std::nullopt},
    {u"\uFF15", std::nullopt},  // fullwidth digit five
    {u"\u0665", std::nullopt},  // Arabic-Indic digit five
    {std::u16string(u"5\0", 2), std::nullopt},
};

TEST(ListNumbers, CharacterLength) {
    EXPECT_EQ(ParseListNumber(u""), std::nullopt);
    for (const NumberCase& c : kSharedCases) {
        EXPECT_EQ(ParseListNumber(c.text), c.value) << "length " << c.text.size();
    }
}

TEST(ListNumbers, StartingNumber) {
    EXPECT_EQ(ParseStartNumber(u""), 1);
    for (const NumberCase& c : kSharedCases) {
        EXPECT_EQ(ParseStartNumber(c.text), c.value) << "length " << c.text.size();
    }
}

}  // namespace
}  // namespace sonoleaf
