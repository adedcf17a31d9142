#pragma once

// Byte streams the picture classes read from and write to. Readers load the
// rest of a stream into memory once and parse from there.

#include "Error.h"
#include "MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace abm {

// The largest file any reader takes into memory: a picture at the raster cap
// needs no more than this, so a bigger input can only be hostile.
constexpr int64_t kMaxInputBytes = int64_t{1} << 30;

// Bytes read into memory, counted against the memory budget while held.
struct LoadedBytes {
    MemoryReservation reservation;
    std::vector<uint8_t> bytes;

    const uint8_t* data() const { return bytes.data(); }
    size_t size() const { return bytes.size(); }
    bool empty() const { return bytes.empty(); }
};

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Reads up to `count` bytes, returns how many were read.
    virtual size_t read(void* buffer, size_t count) = 0;
    virtual void write(const void* buffer, size_t count) = 0;
    virtual int64_t position() const = 0;
    virtual void setPosition(int64_t position) = 0;
    virtual int64_t size() const = 0;
    // The file the stream reads, for errors to name; empty for memory.
    virtual std::string fileName() const { return {}; }

    // Reads exactly `count` bytes or raises FileError StreamRead.
    void readBuffer(void* buffer, size_t count);
    // Everything from the current position to the end (raises FileError
    // InputTooLarge past kMaxInputBytes, and MemoryLimitExceeded past the
    // memory budget).
    LoadedBytes readRest();
};

class MemoryStream : public ByteStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

    size_t read(void* buffer, size_t count) override;
    void write(const void* buffer, size_t count) override;
    int64_t position() const override { return position_; }
    void setPosition(int64_t position) override;
    int64_t size() const override { return static_cast<int64_t>(data_.size()); }
    void setSize(int64_t size);
    void clear();

    const std::vector<uint8_t>& bytes() const { return data_; }
    std::vector<uint8_t>& bytes() { return data_; }
    // The file's bytes, held against the memory budget until cleared.
    void loadFromFile(const std::string& fileName);
    // Writes the whole content to `fileName`, creating or truncating it.
    void saveToFile(const std::string& fileName) const;

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
    MemoryReservation loaded_;
};

// Opens a file for reading without ever waiting: a FIFO with no writer, a
// socket, a device or a folder is refused at once instead of hanging the
// program or feeding it endless bytes. Returns the descriptor (the caller
// closes it), or -1 with `error` set to errno, EISDIR or kNotRegularFile.
// `size`, when given, receives the file's size.
int openRegularFile(const std::string& fileName, int& error, int64_t* size = nullptr);

// A file opened for reading (shared) or created for writing. Reading takes
// regular files only, as OpenRegularFile does.
class FileStream : public ByteStream {
public:
    enum class Mode { OpenRead, Create };
    FileStream(const std::string& fileName, Mode mode);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    size_t read(void* buffer, size_t count) override;
    void write(const void* buffer, size_t count) override;
    int64_t position() const override;
    void setPosition(int64_t position) override;
    int64_t size() const override;
    std::string fileName() const override { return fileName_; }

private:
    int fd_ = -1;
    std::string fileName_;
};

// Whole-file helpers for the readers: FileError FileOpen when the file cannot be opened.
LoadedBytes readWholeFile(const std::string& fileName);

// What a reader reads: a file by its name, or bytes read before (standard
// input, which can be read only once), known by a name for messages. A name
// converts to one, so every reader takes a file name too.
class InputFile {
public:
    InputFile(std::string name) : name_(std::move(name)) {}  // a file
    InputFile(const char* name) : name_(name) {}
    InputFile(const std::filesystem::path& name) : name_(name.string()) {}
    InputFile(std::string name, std::shared_ptr<const LoadedBytes> bytes)
        : name_(std::move(name)), bytes_(std::move(bytes))
    {
    }

    const std::string& name() const { return name_; }
    // The bytes read before; nullptr for a file.
    const LoadedBytes* bytes() const { return bytes_.get(); }
    // The content from its start: the file opened as FileStream opens it
    // (FileError FileOpen), or the bytes.
    std::unique_ptr<ByteStream> open() const;

private:
    std::string name_;
    std::shared_ptr<const LoadedBytes> bytes_;
};

// Everything the descriptor gives until its end, waiting for it as long as
// it takes (standard input that the user handed over): FileError
// InputTooLarge (naming `name`) past kMaxInputBytes, MemoryLimitExceeded
// past the memory budget, StreamRead when reading fails.
LoadedBytes readToEnd(int fd, const std::string& name);

// A regular file of that name exists (a FIFO or a device does not count).
bool fileExists(const std::string& fileName);
// Anything of that name exists, through links: a file, a folder, a device.
bool nameTaken(const std::string& fileName);

}  // namespace abm
