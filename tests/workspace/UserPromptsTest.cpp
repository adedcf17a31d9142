#include "workspace/UserPrompts.h"
#include "base/Error.h"

#include <cerrno>
#include <stdexcept>

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

// The standard error box names the file an error concerns on a line of its
// own, where the error's own text does not.
TEST(UserPrompts, ErrorBoxTextNamesTheFileOnALineOfItsOwn)
{
    struct Case {
        Error error;
        const char* shown;
    };
    const Case cases[] = {
        {InvalidGraphicError(ErrorKind::GifUnknownExtension, "/p/b.gif"), "Unknown extension type.\r\nФайл: /p/b.gif"},
        {InvalidGraphicError(ErrorKind::Jpeg, "/p/фото.jpg", 53), "JPEG error #53.\r\nФайл: \u2068/p/фото.jpg\u2069"},
        {InvalidGraphicError(ErrorKind::GifUnknownExtension), "Unknown extension type."},
        {FileError(ErrorKind::FileOpen, "/p/x.gif", ENOENT),
         "Cannot open file \"/p/x.gif\". No such file or directory."},
        {Error(ErrorKind::NotAnInteger, ""), "'' is not a valid integer value."},
        {Error(ErrorKind::ListIndexOutOfBounds, "/p/none.gif", 0), "List index out of bounds (0)\r\nФайл: /p/none.gif"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorBoxText(c.error), c.shown);
    EXPECT_EQ(errorBoxText(std::runtime_error("boom")), "boom.");
}
