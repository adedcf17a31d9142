#pragma once

// A comment: its data sub-blocks as text.

#include "GifExtension.h"

#include <string>

namespace abm {

class GifCommentExtension : public GifExtension {
public:
    uint8_t label() const override { return kGIFCommentLabel; }
    void loadFromReader(GifReader& reader) override;

    std::string text;
};

}  // namespace abm
