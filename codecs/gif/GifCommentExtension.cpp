#include "GifCommentExtension.h"

#include "GifReader.h"

namespace abm {

void GifCommentExtension::loadFromReader(GifReader& reader)
{
    readIntroducer(reader);
    text.clear();
    reader.readSubBlocks(text);
}

}  // namespace abm
