#include "workspace/UserPrompts.h"

#include <gtest/gtest.h>

using namespace abm;

TEST(UserPrompts, FilterStringsSplitIntoShownTextAndPatterns)
{
    const auto entries = parseFilter("*.gif, *.bmp|*.gif;*.bmp|Все файлы (*.*)|*.*");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].text, "*.gif, *.bmp");
    EXPECT_EQ(entries[0].patterns, (std::vector<std::string>{"*.gif", "*.bmp"}));
    EXPECT_EQ(entries[1].text, "Все файлы (*.*)");
    EXPECT_EQ(entries[1].patterns, (std::vector<std::string>{"*.*"}));
}
