#include <gtest/gtest.h>

#include <ostream>

#include "platform/dialogs/dialog_units.h"
#include "platform/dialogs/icon_layout.h"

namespace sonoleaf::dialogs {
namespace {

TEST(MulDiv, RoundsToNearestHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(613, 7, 4), 1073);  // 1072.75
    EXPECT_EQ(MulDiv(2, 6, 4), 3);       // 3
    EXPECT_EQ(MulDiv(1, 6, 4), 2);       // 1.5
    EXPECT_EQ(MulDiv(1, 5, 4), 1);       // 1.25
    EXPECT_EQ(MulDiv(-1, 6, 4), -2);     // -1.5
    EXPECT_EQ(MulDiv(5, 0, 4), 0);
    EXPECT_EQ(MulDiv(5, 3, 0), 0);  // no division by zero
}

struct IconCase {
    QSize client;
    QSize icon;
    QPoint origin;
};

void PrintTo(const IconCase& c, std::ostream* out) {
    *out << "client " << c.client.width() << "x" << c.client.height() << " icon " << c.icon.width()
         << "x" << c.icon.height();
}

class CentredIconOriginTest : public ::testing::TestWithParam<IconCase> {};

TEST_P(CentredIconOriginTest, OddPixelGoesToLeftAndTop) {
    const IconCase& c = GetParam();
    const QPoint origin = CentredIconOrigin(c.client, c.icon);
    EXPECT_EQ(origin, c.origin);
    if (c.client.width() >= c.icon.width()) {
        const int left = origin.x();
        const int right = c.client.width() - c.icon.width() - left;
        EXPECT_TRUE(left == right || left == right + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CentredIconOriginTest,
    ::testing::Values(IconCase{{100, 100}, {32, 32}, {34, 34}},  // even difference
                      IconCase{{101, 99}, {32, 32}, {35, 34}},   // odd: left/top wider
                      IconCase{{32, 32}, {32, 32}, {0, 0}},      // exactly fits
                      IconCase{{33, 33}, {32, 32}, {1, 1}},
                      IconCase{{20, 20}, {32, 32}, {-5, -5}},  // icon larger: truncates
                      IconCase{{21, 21}, {32, 32}, {-5, -5}}));

}  // namespace
}  // namespace sonoleaf::dialogs
