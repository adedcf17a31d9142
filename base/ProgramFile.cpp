#include "ProgramFile.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace abm {

std::string programFilePath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            break;
        if (static_cast<size_t>(n) < buffer.size())
            return programPathFromExeLink(std::string(buffer.data(), static_cast<size_t>(n)));
        if (buffer.size() >= (size_t{1} << 20))
            break;
        buffer.resize(buffer.size() * 2);
    }
    // No /proc: the name the program was started by is the best there is.
    return program_invocation_name ? program_invocation_name : "";
}

std::string programPathFromExeLink(const std::string& link)
{
    static const std::string mark = " (deleted)";
    if (link.size() > mark.size() && link.compare(link.size() - mark.size(), mark.size(), mark) == 0)
        return link.substr(0, link.size() - mark.size());
    return link;
}

std::string defaultIniFileName(const std::string& programPath)
{
    const size_t slash = programPath.rfind('/');
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name + ".INI";
}

}  // namespace abm
