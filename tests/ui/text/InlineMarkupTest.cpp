#include <gtest/gtest.h>
#include "ui/controls/InlineMarkup.h"
TEST(InlineMarkupTest, Placeholder) { EXPECT_TRUE(SkinUI::ParseInlineMarkup(L"x").runs.size() == 1); }
