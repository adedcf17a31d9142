#pragma once

// A comment: its data sub-blocks as text.

#include "GIFExtension.h"

#include <string>

namespace abm {

class TGIFCommentExtension : public TGIFExtension {
public:
    uint8_t Label() const override { return kGIFCommentLabel; }
    void LoadFromReader(TGIFReader& reader) override;

    std::string Text;
};

}  // namespace abm
