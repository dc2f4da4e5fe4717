#include "platform/dialogs/data_exchange.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace sonoleaf::dialogs {
namespace {

struct Case {
    const char* text;
    std::optional<std::int32_t> value;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class ParseDialogIntegerTest : public ::testing::TestWithParam<Case> {};

TEST_P(ParseDialogIntegerTest, TakesOnlyA32BitWholeNumber) {
    EXPECT_EQ(ParseDialogInteger(QString::fromUtf8(GetParam().text)), GetParam().value)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ParseDialogIntegerTest,
    ::testing::Values(Case{"0", 0}, Case{"42", 42}, Case{"007", 7}, Case{"-5", -5}, Case{"+5", 5},
                      Case{"  12  ", 12}, Case{"\t-3\t", -3}, Case{"2147483647", 2147483647},
                      Case{"-2147483648", INT32_MIN}, Case{"0000000000000000000001", 1},
                      // Not whole numbers.
                      Case{"", std::nullopt}, Case{"   ", std::nullopt}, Case{"abc", std::nullopt},
                      Case{"12a", std::nullopt}, Case{"1 2", std::nullopt},
                      Case{"1e3", std::nullopt}, Case{"3.5", std::nullopt},
                      Case{"0x10", std::nullopt}, Case{"-", std::nullopt}, Case{"+", std::nullopt},
                      Case{"--1", std::nullopt}, Case{"+-1", std::nullopt},
                      Case{"- 1", std::nullopt}, Case{"2147483648", std::nullopt},
                      Case{"-2147483649", std::nullopt}, Case{"99999999999999999999", std::nullopt},
                      Case{"\xd9\xa3", std::nullopt} /* Arabic-Indic three */,
                      Case{"\xef\xbc\x91", std::nullopt}));

}  // namespace
}  // namespace sonoleaf::dialogs
