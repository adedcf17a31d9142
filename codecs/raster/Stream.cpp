#include "Stream.h"

#include "Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace abm {

void TStream::ReadBuffer(void* buffer, size_t count)
{
    if (Read(buffer, count) != count)
        throw EReadError();
}

std::vector<uint8_t> TStream::ReadRest()
{
    const int64_t left = std::max<int64_t>(0, Size() - Position());
    if (left > kMaxInputBytes)
        throw EReadError();
    std::vector<uint8_t> bytes(static_cast<size_t>(left));
    bytes.resize(Read(bytes.data(), bytes.size()));
    return bytes;
}

size_t TMemoryStream::Read(void* buffer, size_t count)
{
    const int64_t left = Size() - position_;
    if (left <= 0 || count == 0)
        return 0;
    const size_t n = std::min<size_t>(count, static_cast<size_t>(left));
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

void TMemoryStream::Write(const void* buffer, size_t count)
{
    if (count == 0)
        return;
    const size_t end = static_cast<size_t>(position_) + count;
    if (end > data_.size())
        data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<int64_t>(end);
}

void TMemoryStream::SetPosition(int64_t position)
{
    position_ = std::max<int64_t>(0, position);
}

void TMemoryStream::SetSize(int64_t size)
{
    data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
    position_ = std::min(position_, Size());
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    data_ = ReadWholeFile(fileName);
    position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const
{
    TFileStream file(fileName, TFileStream::Mode::Create);
    file.Write(data_.data(), data_.size());
}

TFileStream::TFileStream(const std::string& fileName, Mode mode)
{
    if (mode == Mode::OpenRead) {
        fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw FileOpenError(fileName, errno);
        struct stat st {};
        if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd_);
            throw FileOpenError(fileName, EISDIR);
        }
    } else {
        fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw FileCreateError(fileName, errno);
    }
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

size_t TFileStream::Read(void* buffer, size_t count)
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

void TFileStream::Write(const void* buffer, size_t count)
{
    size_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(fd_, in + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EWriteError();
        done += static_cast<size_t>(n);
    }
}

int64_t TFileStream::Position() const
{
    return ::lseek(fd_, 0, SEEK_CUR);
}

void TFileStream::SetPosition(int64_t position)
{
    ::lseek(fd_, std::max<int64_t>(0, position), SEEK_SET);
}

int64_t TFileStream::Size() const
{
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return 0;
    return st.st_size;
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    return file.ReadRest();
}

bool FileExists(const std::string& fileName)
{
    struct stat st {};
    return ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace abm
