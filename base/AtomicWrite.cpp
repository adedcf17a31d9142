#include "AtomicWrite.h"

#include "Error.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace abm {

namespace {

// Linux gives up on a chain of links after 40 as well.
constexpr int kMaxLinkHops = 40;

// The temporary files that exist at this moment, as a signal handler may
// read them: a slot is claimed, filled, and only then published.
enum : int { kSlotFree, kSlotFilling, kSlotPublished };
struct TempSlot {
    std::atomic<int> state{kSlotFree};
    char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);
TempSlot gTempSlots[8];

TempSlot* publish(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return nullptr;
    for (TempSlot& slot : gTempSlots) {
        int expected = kSlotFree;
        if (slot.state.compare_exchange_strong(expected, kSlotFilling)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(kSlotPublished);
            return &slot;
        }
    }
    return nullptr;
}

void withdraw(TempSlot*& slot)
{
    if (slot)
        slot->state.store(kSlotFree);
    slot = nullptr;
}

void removeTempFilesAndEnd(int signal)
{
    for (TempSlot& slot : gTempSlots)
        if (slot.state.load() == kSlotPublished)
            ::unlink(slot.path);
    // SA_RESETHAND has made the default action current again; the signal
    // stays blocked until this handler returns, and then ends the process.
    ::raise(signal);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string randomName()
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t bytes[12];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static std::mt19937_64 fallback(static_cast<uint64_t>(::getpid()) ^ static_cast<uint64_t>(std::time(nullptr)));
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(fallback());
    }
    std::string name;
    for (const uint8_t b : bytes)
        name += kLetters[b % (sizeof kLetters - 1)];
    return name;
}

// The file a name finally stands for: links followed to the end, a relative
// link read from the folder that holds it. 0 or the errno a plain open
// would give for the chain.
int finalTarget(const std::string& fileName, std::string& target)
{
    target = fileName;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return 0;
        if (hops == kMaxLinkHops)
            return ELOOP;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<size_t>(n) >= link.size())
            return ENAMETOOLONG;
        link.resize(static_cast<size_t>(n));
        target = link.front() == '/' ? link : folderOf(target) + link;
    }
}

// A temporary file beside the target, removed again unless it was renamed
// over the target. Its name is published before the file exists, so a
// signal never leaves it behind.
class TempFile {
public:
    explicit TempFile(const std::string& folder)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = folder + ".abm-" + randomName();
            slot_ = publish(path_);
            // 0666: the umask and the folder's default ACL apply, as they
            // do to a file created by a plain open.
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd_ >= 0) {
                error_ = 0;
                return;
            }
            error_ = errno;
            withdraw(slot_);
            if (error_ != EEXIST)
                return;
        }
    }
    ~TempFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (error_ == 0 && !renamed_)
            ::unlink(path_.c_str());
        withdraw(slot_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int error() const { return error_; }
    int fd() const { return fd_; }

    int close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc != 0 ? errno : 0;
    }

    int renameTo(const std::string& target)
    {
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return errno;
        renamed_ = true;
        withdraw(slot_);
        return 0;
    }

private:
    std::string path_;
    TempSlot* slot_ = nullptr;
    int fd_ = -1;
    int error_ = EEXIST;
    bool renamed_ = false;
};

int writeAll(int fd, const void* data, size_t size)
{
    const auto* in = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, in + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

// The replaced file's permission bits, and its owner and group where the
// user may set them: root keeps both, an owner in the file's group keeps
// the group; otherwise the new file stays the user's own.
int takeOverAttributes(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    return ::fchmod(fd, old.st_mode & 0777) != 0 ? errno : 0;
}

// Lets a test catch a save in the middle: the process stops itself while
// the temporary file exists and goes on when it is continued.
void stopIfAsked()
{
    if (std::getenv("ABM_STOP_DURING_SAVE"))
        ::raise(SIGSTOP);
}

}  // namespace

void writeFileAtomically(const std::string& fileName, const void* data, size_t size, bool durable)
{
    std::string target;
    int err = finalTarget(fileName, target);
    struct stat old {};
    bool replacing = false;
    if (err == 0 && ::stat(target.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            err = EISDIR;
        replacing = S_ISREG(old.st_mode);
        // Refused where a plain open for writing would be refused.
        if (err == 0 && replacing && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            err = errno;
    }
    if (err != 0)
        throw FileError(ErrorKind::FileCreate, fileName, err);

    TempFile temp(folderOf(target));
    err = temp.error();
    if (err == 0)
        err = writeAll(temp.fd(), data, size);
    if (err == 0 && replacing)
        err = takeOverAttributes(temp.fd(), old);
    if (err == 0 && durable && ::fsync(temp.fd()) != 0)
        err = errno;
    if (err == 0)
        err = temp.close();
    if (err == 0) {
        stopIfAsked();
        err = temp.renameTo(target);
    }
    if (err != 0)
        throw FileError(ErrorKind::FileCreate, fileName, err);
}

void installSaveSignalHandlers()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction cleanup {};
    cleanup.sa_handler = removeTempFilesAndEnd;
    sigemptyset(&cleanup.sa_mask);
    sigaddset(&cleanup.sa_mask, SIGINT);
    sigaddset(&cleanup.sa_mask, SIGTERM);
    cleanup.sa_flags = SA_RESETHAND;
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &cleanup, nullptr);
    }
}

}  // namespace abm
