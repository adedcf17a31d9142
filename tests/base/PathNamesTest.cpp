#include "base/PathNames.h"

#include <gtest/gtest.h>

using namespace abm;

TEST(PathNames, FolderNameAndExtensionFollowTheLastSeparatorAndDot)
{
    struct Case {
        const char* name;
        const char* path;
        const char* file;
        const char* ext;
        const char* asAbm;
    };
    const Case cases[] = {
        {"/home/u/walk.bmp", "/home/u/", "walk.bmp", ".bmp", "/home/u/walk.abm"},
        {"/home/u/walk", "/home/u/", "walk", "", "/home/u/walk.abm"},
        {"/a.b/walk", "/a.b/", "walk", "", "/a.b/walk.abm"},
        {"anim.txt", "", "anim.txt", ".txt", "anim.abm"},
        {"/x/a.bmp.bmp", "/x/", "a.bmp.bmp", ".bmp", "/x/a.bmp.abm"},
        {"/x/.bmp", "/x/", ".bmp", ".bmp", "/x/.abm"},
        {"/x/", "/x/", "", "", "/x/.abm"},
        {"", "", "", "", ".abm"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folderPart(c.name), c.path) << c.name;
        EXPECT_EQ(fileNamePart(c.name), c.file) << c.name;
        EXPECT_EQ(extensionPart(c.name), c.ext) << c.name;
        EXPECT_EQ(replaceExtension(c.name, ".abm"), c.asAbm) << c.name;
    }
}

TEST(PathNames, CaseOfAsciiLettersAloneIsIgnoredAndBlanksTrimmed)
{
    EXPECT_TRUE(equalsIgnoringCase(".Jpg", ".jPG"));
    EXPECT_FALSE(equalsIgnoringCase(".jpg", ".jpeg"));
    EXPECT_FALSE(equalsIgnoringCase("@[", "`{"));              // the neighbours of the letters
    EXPECT_FALSE(equalsIgnoringCase("\xD0\xB0", "\xD0\x90"));  // Cyrillic а and А
    EXPECT_EQ(trim("  .jpg \t"), ".jpg");
    EXPECT_EQ(trim(" \x01 "), "");
}
