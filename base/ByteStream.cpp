#include "ByteStream.h"

#include "Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace abm {

void ByteStream::readBuffer(void* buffer, size_t count)
{
    if (read(buffer, count) != count)
        throw FileError(ErrorKind::StreamRead);
}

LoadedBytes ByteStream::readRest()
{
    const int64_t left = std::max<int64_t>(0, size() - position());
    if (left > kMaxInputBytes)
        throw FileError(ErrorKind::InputTooLarge, fileName(), left, kMaxInputBytes);
    LoadedBytes loaded;
    loaded.reservation = MemoryReservation(left);
    loaded.bytes.resize(static_cast<size_t>(left));
    loaded.bytes.resize(read(loaded.bytes.data(), loaded.bytes.size()));
    return loaded;
}

size_t MemoryStream::read(void* buffer, size_t count)
{
    const int64_t left = size() - position_;
    if (left <= 0 || count == 0)
        return 0;
    const size_t n = std::min<size_t>(count, static_cast<size_t>(left));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

void MemoryStream::write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    const size_t end = static_cast<size_t>(position_) + count;
    if (end > data_.size())
        data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<int64_t>(end);
}

void MemoryStream::setPosition(int64_t position)
{
    position_ = std::max<int64_t>(0, position);
}

void MemoryStream::setSize(int64_t newSize)
{
    data_.resize(static_cast<size_t>(std::max<int64_t>(0, newSize)));
    position_ = std::min(position_, size());
}

void MemoryStream::clear()
{
    data_.clear();
    position_ = 0;
    loaded_.release();
}

void MemoryStream::loadFromFile(const std::string& fileName)
{
    LoadedBytes loaded = readWholeFile(fileName);
    data_ = std::move(loaded.bytes);
    loaded_ = std::move(loaded.reservation);
    position_ = 0;
}

void MemoryStream::saveToFile(const std::string& fileName) const
{
    FileStream file(fileName, FileStream::Mode::Create);
    file.write(data_.data(), data_.size());
}

int openRegularFile(const std::string& fileName, int& error, int64_t* size)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer forever.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        ::close(fd);
        return -1;
    }
    if (size)
        *size = st.st_size;
    error = 0;
    return fd;
}

FileStream::FileStream(const std::string& fileName, Mode mode) : fileName_(fileName)
{
    if (mode == Mode::OpenRead) {
        int error = 0;
        fd_ = openRegularFile(fileName, error);
        if (fd_ < 0)
            throw FileError(ErrorKind::FileOpen, fileName, error);
    } else {
        fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw FileError(ErrorKind::FileCreate, fileName, errno);
    }
}

FileStream::~FileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

size_t FileStream::read(void* buffer, size_t count)
{
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(fd_, out + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void FileStream::write(const void* buffer, size_t count)
{
    size_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError(ErrorKind::StreamWrite);
        done += static_cast<size_t>(n);
    }
}

int64_t FileStream::position() const
{
    return ::lseek(fd_, 0, SEEK_CUR);
}

void FileStream::setPosition(int64_t position)
{
    ::lseek(fd_, std::max<int64_t>(0, position), SEEK_SET);
}

int64_t FileStream::size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return 0;
    return st.st_size;
}

LoadedBytes readWholeFile(const std::string& fileName)
{
    FileStream file(fileName, FileStream::Mode::OpenRead);
    return file.readRest();
}

namespace {

// Reads bytes read before, which stay untouched, and alive while it reads.
class HeldBytesStream : public ByteStream {
public:
    HeldBytesStream(std::shared_ptr<const LoadedBytes> bytes, std::string name)
        : held_(std::move(bytes)), bytes_(*held_), name_(std::move(name))
    {
    }

    size_t read(void* buffer, size_t count) override
    {
        const size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
        if (n > 0)
            std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
        return n;
    }
    void write(const void*, size_t) override { throw FileError(ErrorKind::StreamWrite, name_); }
    int64_t position() const override { return static_cast<int64_t>(position_); }
    void setPosition(int64_t position) override { position_ = static_cast<size_t>(std::max<int64_t>(0, position)); }
    int64_t size() const override { return static_cast<int64_t>(bytes_.size()); }
    std::string fileName() const override { return name_; }

private:
    std::shared_ptr<const LoadedBytes> held_;
    const LoadedBytes& bytes_;
    std::string name_;
    size_t position_ = 0;
};

}  // namespace

std::unique_ptr<ByteStream> InputFile::open() const
{
    if (bytes_)
        return std::make_unique<HeldBytesStream>(bytes_, name_);
    return std::make_unique<FileStream>(name_, FileStream::Mode::OpenRead);
}

LoadedBytes readToEnd(int fd, const std::string& name)
{
    constexpr size_t kFirstBlock = size_t{1} << 16;
    LoadedBytes loaded;
    size_t used = 0;
    for (;;) {
        if (used == loaded.bytes.size()) {
            // One byte past the limit tells a file at the limit from a larger one.
            const size_t grown = std::min<size_t>(std::max(kFirstBlock, used * 2), kMaxInputBytes + 1);
            loaded.reservation.resize(static_cast<int64_t>(grown));
            loaded.bytes.resize(grown);
        }
        const ssize_t n = ::read(fd, loaded.bytes.data() + used, loaded.bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd wait{fd, POLLIN, 0};
            ::poll(&wait, 1, -1);
            continue;
        }
        if (n < 0)
            throw FileError(ErrorKind::StreamRead, name, errno);
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
        if (used > static_cast<size_t>(kMaxInputBytes))
            throw FileError(ErrorKind::InputTooLarge, name, static_cast<int64_t>(used), kMaxInputBytes);
    }
    // The reservation keeps counting the capacity the bytes still hold.
    loaded.bytes.resize(used);
    return loaded;
}

bool fileExists(const std::string& fileName)
{
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool nameTaken(const std::string& fileName)
{
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0;
}

}  // namespace abm
