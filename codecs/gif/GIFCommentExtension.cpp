#include "GIFCommentExtension.h"

#include "GIFReader.h"

namespace abm {

void TGIFCommentExtension::LoadFromReader(TGIFReader& reader)
{
    ReadIntroducer(reader);
    Text.clear();
    reader.ReadSubBlocks(Text);
}

}  // namespace abm
