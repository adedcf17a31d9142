#include "workspace/UserPrompts.h"

#include <gtest/gtest.h>

using namespace abm;

TEST(UserPrompts, FilterStringsSplitIntoShownTextAndPatterns)
{
    const auto entries = ParseFilter("*.gif, *.bmp|*.gif;*.bmp|Все файлы (*.*)|*.*");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Text, "*.gif, *.bmp");
    EXPECT_EQ(entries[0].Patterns, (std::vector<std::string>{"*.gif", "*.bmp"}));
    EXPECT_EQ(entries[1].Text, "Все файлы (*.*)");
    EXPECT_EQ(entries[1].Patterns, (std::vector<std::string>{"*.*"}));
}
