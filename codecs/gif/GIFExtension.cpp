#include "GIFExtension.h"

#include "GIFApplicationExtension.h"
#include "GIFCommentExtension.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GIFGraphicControlExtension.h"
#include "GIFReader.h"
#include "GIFTextExtension.h"

namespace abm {

std::unique_ptr<TGIFExtension> TGIFExtension::create(uint8_t label)
{
    switch (label) {
    case kGIFPlainTextLabel: return std::make_unique<TGIFTextExtension>();
    case kGIFGraphicControlLabel: return std::make_unique<TGIFGraphicControlExtension>();
    case kGIFCommentLabel: return std::make_unique<TGIFCommentExtension>();
    case kGIFApplicationLabel: return std::make_unique<TGIFApplicationExtension>();
    default: return nullptr;
    }
}

void TGIFExtension::readIntroducer(TGIFReader& reader) const
{
    uint8_t head[2];
    reader.readFixed(head, 2);
    if (head[0] != kGIFExtensionIntroducer || head[1] != label())
        throw InvalidGraphicError(ErrorKind::GifInvalidIntroducer);
}

}  // namespace abm
