#pragma once

#include "base/Error.h"

#include <string>

namespace abm {

// A failure reported by libjpeg; the number is the library's message code
// (42: empty input, 53: not a JPEG).
class EJPEG : public EInvalidGraphic {
public:
    explicit EJPEG(int number) : EInvalidGraphic("JPEG error #" + std::to_string(number)), number_(number) {}
    int Number() const { return number_; }

private:
    int number_;
};

}  // namespace abm
