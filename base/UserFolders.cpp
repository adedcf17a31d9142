#include "UserFolders.h"

#include "base/ByteStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace abm {

namespace {

std::string absoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    // The base-directory rules ignore relative paths.
    if (value && value[0] == '/')
        return value;
    return {};
}

std::string underHome(const std::string& rest)
{
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + rest;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string configHome()
{
    const std::string env = absoluteEnv("XDG_CONFIG_HOME");
    return env.empty() ? underHome("/.config") : env;
}

std::string dataHome()
{
    const std::string env = absoluteEnv("XDG_DATA_HOME");
    return env.empty() ? underHome("/.local/share") : env;
}

bool makeFolders(const std::string& folder)
{
    if (folder.empty())
        return false;
    if (isFolder(folder))
        return true;
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            break;
    }
    return isFolder(folder);
}

LoadResult loadConfigFile(const std::string& path, std::string& content, int* error)
{
    content.clear();
    int failure = 0;
    int64_t size = 0;
    const int fd = openRegularFile(path, failure, &size);
    if (error)
        *error = failure;
    struct stat st {};
    if (fd < 0 && failure == kNotRegularFile && ::stat(path.c_str(), &st) == 0 &&
        (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)))
        return LoadResult::Stream;
    if (fd < 0)
        return failure == ENOENT || failure == ENOTDIR ? LoadResult::Missing : LoadResult::Unusable;
    LoadResult result = LoadResult::Loaded;
    if (size > kMaxConfigFileBytes) {
        result = LoadResult::Unusable;
        failure = EFBIG;
    } else {
        // The size may change under us: read one byte past the cap to notice.
        content.resize(static_cast<size_t>(size) + 1);
        size_t done = 0;
        for (;;) {
            if (done == content.size()) {
                if (content.size() > static_cast<size_t>(kMaxConfigFileBytes))
                    break;
                content.resize(std::min<size_t>(content.size() * 2 + 4096, kMaxConfigFileBytes + 1));
            }
            const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = LoadResult::Unusable;
                failure = errno;
                break;
            }
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        if (done > static_cast<size_t>(kMaxConfigFileBytes)) {
            result = LoadResult::Unusable;
            failure = EFBIG;
        }
        content.resize(result == LoadResult::Loaded ? done : 0);
    }
    ::close(fd);
    if (error)
        *error = failure;
    return result;
}

}  // namespace abm
