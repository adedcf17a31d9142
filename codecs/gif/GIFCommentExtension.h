#pragma once

// A comment: its data sub-blocks as text.

#include "GIFExtension.h"

#include <string>

namespace abm {

class TGIFCommentExtension : public TGIFExtension {
public:
    uint8_t label() const override { return kGIFCommentLabel; }
    void loadFromReader(TGIFReader& reader) override;

    std::string text;
};

}  // namespace abm
