#include "Workspace.h"

#include "codecs/gif/GIFImage.h"

namespace abm {

void Workspace::FormCreate(const std::vector<std::string>& arguments)
{
    Player.PreviewIndex = 0;
    Player.IconIndex = 0;
    // Only changes how a whole GIF picture paints itself, which nothing here asks for.
    GIFImageDefaultDrawOptions |= 0x0040;
    CommandLineImport(Strip, arguments);
}

}  // namespace abm
