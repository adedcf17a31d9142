#include "GifExtension.h"

#include "GifApplicationExtension.h"
#include "GifCommentExtension.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GifGraphicControlExtension.h"
#include "GifReader.h"
#include "GifTextExtension.h"

namespace abm {

std::unique_ptr<GifExtension> GifExtension::create(uint8_t label)
{
    switch (label) {
    case kGIFPlainTextLabel: return std::make_unique<GifTextExtension>();
    case kGIFGraphicControlLabel: return std::make_unique<GifGraphicControlExtension>();
    case kGIFCommentLabel: return std::make_unique<GifCommentExtension>();
    case kGIFApplicationLabel: return std::make_unique<GifApplicationExtension>();
    default: return nullptr;
    }
}

void GifExtension::readIntroducer(GifReader& reader) const
{
    uint8_t head[2];
    reader.readFixed(head, 2);
    if (head[0] != kGIFExtensionIntroducer || head[1] != label())
        throw InvalidGraphicError(ErrorKind::GifInvalidIntroducer);
}

}  // namespace abm
