#include <gtest/gtest.h>
#include "platform/text/output_names.h"
TEST(Separator, IsSlash) { EXPECT_EQ(sonoleaf::text::kPathSeparator, u'/'); }
