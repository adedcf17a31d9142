#include "Workspace.h"

namespace abm {

void Workspace::start(const std::vector<std::string>& arguments)
{
    player.previewIndex = 0;
    player.iconIndex = 0;
    commands.importCommandLine(arguments);
}

}  // namespace abm
