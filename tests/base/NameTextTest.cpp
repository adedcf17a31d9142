// Names as the programs show them: every bidirectional control escaped in
// abmtool's text and JSON, and a name that could reorder the window's
// sentence isolated in it.

#include "base/NameText.h"

#include <gtest/gtest.h>

using namespace abm;

TEST(NameText, BidirectionalControlsAreEscapedAndForeignNamesIsolated)
{
    const char* const controls = "\u202A\u202B\u202C\u202D\u202E\u2066\u2067\u2068\u2069\u200E\u200F\u061C.gif";
    EXPECT_EQ(escapedText(controls),
              "\\u202A\\u202B\\u202C\\u202D\\u202E\\u2066\\u2067\\u2068\\u2069\\u200E\\u200F\\u061C.gif");
    EXPECT_EQ(jsonString(controls),
              "\"\\u202a\\u202b\\u202c\\u202d\\u202e\\u2066\\u2067\\u2068\\u2069\\u200e\\u200f\\u061c.gif\"");
    // Escaped, plain ASCII cannot reorder anything and stays as it is.
    EXPECT_EQ(isolatedName(controls), escapedText(controls));
    EXPECT_EQ(isolatedName("שלום 12\n.gif"), "\u2068שלום 12\\x0a.gif\u2069");
}
