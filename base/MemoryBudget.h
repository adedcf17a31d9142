#pragma once

// One memory budget for the whole process. Every allocation of pixel memory
// (rasters, the bytes of a file being read, the decoders' own buffers) is
// reserved against it before it is made, so that no input, whatever its
// headers claim, makes the program hold more than the limit. A refusal is a
// MemoryLimitExceeded (Error.h), which the importers let through with the
// file's name.
//
// Synopsis:
//   MemoryReservation held(bytes);      // raises MemoryLimitExceeded, or holds
//   std::vector<uint8_t> pixels(bytes); // the memory it stands for
//   ...                                 // released when `held` goes
//
// The limit is 1 GiB, or a quarter of the physical memory when that is less;
// ABM_MEMORY_LIMIT_MB in the environment overrides it.

#include "Error.h"

#include <cstdint>
#include <string>

namespace abm {

// What a raster or a GIF image costs beyond its pixels (its bookkeeping), so
// that a file of a great many tiny pictures is bounded as well.
constexpr int64_t kObjectOverheadBytes = 256;

// What may give memory back when a reservation would not fit: the window's
// undo history, whose oldest steps go before a new change is refused.
class MemoryReclaimer {
public:
    virtual ~MemoryReclaimer() = default;
    // The bytes that giving back everything would free.
    virtual int64_t reclaimable() const = 0;
    // Gives back the oldest part; false when nothing is left.
    virtual bool reclaimOldest() = 0;
};

// The process-wide count. Thread-safe.
class MemoryBudget {
public:
    static int64_t limit();
    // A limit below what is held refuses every new reservation until enough is released.
    static void setLimit(int64_t bytes);
    static int64_t used();
    static int64_t available();
    // The most that was ever held since the start or the last ResetPeak.
    static int64_t peak();
    static void resetPeak();

    // Raises MemoryLimitExceeded unless `bytes` more would fit now; reserves nothing.
    static void require(int64_t bytes);

    // Asked for memory when a reservation or a requirement would not fit,
    // and only when all it could give back would make it fit; nullptr for
    // none. Its owner's thread must be the only one that reserves while it
    // is set (the window's; abmtool's threads set none).
    static void setReclaimer(MemoryReclaimer* reclaimer);
    static MemoryReclaimer* reclaimer();

    // 1 GiB or a quarter of the physical memory, whichever is less, unless
    // ABM_MEMORY_LIMIT_MB (a positive number of MiB) says otherwise.
    static int64_t defaultLimit();
    // What is wrong with ABM_MEMORY_LIMIT_MB ("ABM_MEMORY_LIMIT_MB: ' 64' is
    // not …"), which defaultLimit then passes over; empty when it is unset,
    // empty, or a number of MiB from 1 to 2^40.
    static std::string environmentProblem();
};

// Bytes held against the budget until released or destroyed. Move-only.
class MemoryReservation {
public:
    MemoryReservation() = default;
    // Raises MemoryLimitExceeded when the bytes do not fit.
    explicit MemoryReservation(int64_t bytes);
    ~MemoryReservation();
    MemoryReservation(MemoryReservation&& other) noexcept;
    MemoryReservation& operator=(MemoryReservation&& other) noexcept;
    MemoryReservation(const MemoryReservation&) = delete;
    MemoryReservation& operator=(const MemoryReservation&) = delete;

    int64_t bytes() const { return bytes_; }
    // Grows (checked first, unchanged on refusal) or shrinks to `bytes`.
    void resize(int64_t bytes);
    void release();

private:
    int64_t bytes_ = 0;
};

// 1536 × 2^20 bytes as "1,536 MiB", rounded up to whole MiB.
std::string mebibyteText(int64_t bytes);

}  // namespace abm
