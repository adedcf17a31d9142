#include "GIFCommentExtension.h"

#include "GIFReader.h"

namespace abm {

void TGIFCommentExtension::loadFromReader(TGIFReader& reader)
{
    readIntroducer(reader);
    text.clear();
    reader.readSubBlocks(text);
}

}  // namespace abm
