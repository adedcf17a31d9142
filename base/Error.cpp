#include "Error.h"

#include "ErrorText.h"

#include <utility>

namespace abm {

Error::Error(ErrorKind kind, std::string name, int64_t number, int64_t limit)
    : kind_(kind), name_(std::move(name)), number_(number), limit_(limit)
{
    text_ = errorText(*this, programText);
}

}  // namespace abm
