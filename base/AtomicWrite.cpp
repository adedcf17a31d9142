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
#include <vector>

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

// Every signal whose default action ends the process and that comes from
// outside it (a terminal, a shell, a timer, a resource limit, a reader that
// went away, a parent), and an abort. Faults (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGTRAP, SIGSYS) stay with their default action and the sanitizers.
// SIGXFSZ is ignored instead, so that a save past ulimit -f fails as a write.
std::vector<int> endingSignals()
{
    std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGABRT, SIGTERM, SIGUSR1,   SIGUSR2, SIGPIPE,
                                SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGSTKFLT, SIGPWR};
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        signals.push_back(signal);
    return signals;
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

// What a save does with what the name stands for, once links are followed.
enum class SaveTarget { replace, writeInto, refuse };

// A FIFO or a character device takes the bytes as they come (as with cp or
// gifsicle -o, so that /dev/null and /dev/stdout work); what else is not a
// regular file is refused: a save never writes over a folder, a disk or a socket.
SaveTarget saveTarget(mode_t mode, int& refusal)
{
    if (S_ISREG(mode))
        return SaveTarget::replace;
    if (S_ISFIFO(mode) || S_ISCHR(mode))
        return SaveTarget::writeInto;
    refusal = S_ISDIR(mode) ? EISDIR : S_ISBLK(mode) ? kBlockDevice : S_ISSOCK(mode) ? kSocket : kNotRegularFile;
    return SaveTarget::refuse;
}

int writableError(const std::string& path, int mode = W_OK)
{
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) != 0 ? errno : 0;
}

// Writes into the FIFO or device `fileName` stands for. False, with nothing
// written, when the name turned out to be a regular file after all.
bool writeInto(const std::string& fileName, const void* data, size_t size, int& err)
{
    int fd;
    // A FIFO's open waits for its reader.
    while ((fd = ::open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)) < 0 && errno == EINTR) {
    }
    if (fd < 0) {
        err = errno;
        return true;
    }
    struct stat st {};
    err = ::fstat(fd, &st) != 0 ? errno : 0;
    const bool stream = err == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
    if (stream)
        err = writeAll(fd, data, size);
    if (::close(fd) != 0 && err == 0 && errno != EINTR)
        err = errno;
    return stream || err != 0;
}

int replaceFile(const std::string& fileName, const void* data, size_t size, bool durable)
{
    std::string target;
    int err = finalTarget(fileName, target);
    struct stat old {};
    bool replacing = false;
    if (err == 0 && ::stat(target.c_str(), &old) == 0) {
        const SaveTarget what = saveTarget(old.st_mode, err);
        replacing = what == SaveTarget::replace;
        // Refused where a plain open for writing would be refused; a FIFO
        // or device that has just taken the name is never renamed over.
        err = replacing ? writableError(target) : what == SaveTarget::writeInto ? kNotRegularFile : err;
    }
    if (err != 0)
        return err;

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
    return err;
}

}  // namespace

void writeFileAtomically(const std::string& fileName, const void* data, size_t size, bool durable)
{
    // Links are followed here as open follows them, /proc's links to pipes included.
    struct stat st {};
    int err = 0;
    bool done = false;
    if (::stat(fileName.c_str(), &st) == 0) {
        const SaveTarget what = saveTarget(st.st_mode, err);
        done = what == SaveTarget::refuse || (what == SaveTarget::writeInto && writeInto(fileName, data, size, err));
    }
    if (!done)
        err = replaceFile(fileName, data, size, durable);
    if (err != 0)
        throw FileError(ErrorKind::FileCreate, fileName, err);
}

int saveProblem(const std::string& fileName)
{
    struct stat st {};
    int err = 0;
    if (::stat(fileName.c_str(), &st) == 0 && saveTarget(st.st_mode, err) != SaveTarget::replace)
        return err != 0 ? err : writableError(fileName);
    std::string target;
    if ((err = finalTarget(fileName, target)) != 0)
        return err;
    if (::stat(target.c_str(), &st) == 0)
        return writableError(target);
    if (errno != ENOENT)
        return errno;
    const std::string folder = folderOf(target);
    return writableError(folder.empty() ? "." : folder, W_OK | X_OK);
}

void installSaveSignalHandlers()
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    const std::vector<int> signals = endingSignals();
    struct sigaction cleanup {};
    cleanup.sa_handler = removeTempFilesAndEnd;
    sigemptyset(&cleanup.sa_mask);
    for (const int signal : signals)
        sigaddset(&cleanup.sa_mask, signal);
    cleanup.sa_flags = SA_RESETHAND;
    for (const int signal : signals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &cleanup, nullptr);
    }
}

}  // namespace abm
