#include "Workspace.h"

namespace abm {

void Workspace::start(const std::vector<std::string>& arguments)
{
    Player.PreviewIndex = 0;
    Player.IconIndex = 0;
    CommandLineImport(Strip, arguments);
}

}  // namespace abm
