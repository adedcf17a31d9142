#include "FrameOptions.h"

#include "base/Error.h"
#include "base/Numbers.h"

namespace abm {

FrameDimension FrameDimension::fromText(std::string_view text)
{
    if (const std::optional<int> number = toInt(text))
        return *number;
    FrameDimension kept(0);
    kept.text_ = std::string(text);
    return kept;
}

int FrameDimension::value() const
{
    if (text_)
        throw Error(ErrorKind::NotAnInteger, *text_);
    return value_;
}

FrameOptions fittedToPhone(FrameOptions options)
{
    options.width = kPhoneFrameWidth;
    options.height = kPhoneFrameHeight;
    options.autoSize = false;
    options.stretch = true;
    options.keepProportions = true;
    options.smooth = true;
    options.dither = true;
    return options;
}

}  // namespace abm
