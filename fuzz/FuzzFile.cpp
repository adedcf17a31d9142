#include "FuzzFile.h"

#include "codecs/raster/Raster.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace abm::fuzz {

void limitForFuzzing()
{
    setRasterPixelLimit(int64_t{1} << 16);
}

std::string scratchFile(const uint8_t* data, size_t size, const std::string& extension)
{
    struct stat st {};
    const std::string folder = ::stat("/dev/shm", &st) == 0 ? "/dev/shm" : "/tmp";
    const std::string name = folder + "/abm-fuzz-" + std::to_string(::getpid()) + extension;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
    }
    return name;
}

}  // namespace abm::fuzz
