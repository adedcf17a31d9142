#include "MemoryBudget.h"

#include "Numbers.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace abm {

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;
constexpr int64_t kDefaultLimit = int64_t{1} << 30;
// Past this a limit in MiB would overflow the byte count; no machine has it anyway.
constexpr int64_t kLargestLimitMiB = int64_t{1} << 40;

std::atomic<int64_t>& limitCell()
{
    static std::atomic<int64_t> limit{MemoryBudget::defaultLimit()};
    return limit;
}

std::atomic<int64_t> gUsed{0};
std::atomic<int64_t> gPeak{0};
std::atomic<MemoryReclaimer*> gReclaimer{nullptr};

void raisePeak(int64_t used)
{
    int64_t peak = gPeak.load(std::memory_order_relaxed);
    while (used > peak && !gPeak.compare_exchange_weak(peak, used, std::memory_order_relaxed)) {
    }
}

// Makes room for `bytes` with what the reclaimer gives back, oldest first,
// when all it holds would make enough; whether they fit now.
bool reclaimFor(int64_t bytes, int64_t limit)
{
    static thread_local bool reclaiming = false;
    MemoryReclaimer* reclaimer = gReclaimer.load();
    const auto fits = [&] { return bytes <= limit - gUsed.load(std::memory_order_relaxed); };
    // What it releases gives memory back and never asks for more.
    if (!reclaimer || reclaiming || !(bytes <= limit - gUsed.load() + reclaimer->reclaimable()))
        return false;
    reclaiming = true;
    while (!fits() && reclaimer->reclaimOldest()) {
    }
    reclaiming = false;
    return fits();
}

// Adds `bytes` to the count unless that would pass the limit.
void take(int64_t bytes)
{
    if (bytes <= 0)
        return;
    const int64_t limit = MemoryBudget::limit();
    for (;;) {
        int64_t used = gUsed.load(std::memory_order_relaxed);
        if (bytes > limit - used) {
            if (!reclaimFor(bytes, limit))
                throw MemoryLimitExceeded(used + bytes, limit);
        } else if (gUsed.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed)) {
            raisePeak(used + bytes);
            return;
        }
    }
}

void give(int64_t bytes)
{
    if (bytes > 0)
        gUsed.fetch_sub(bytes, std::memory_order_relaxed);
}

}  // namespace

std::string mebibyteText(int64_t bytes)
{
    return groupedNumber(bytes <= 0 ? 0 : (bytes - 1) / kMiB + 1) + " MiB";
}

namespace {

constexpr const char* kLimitVariable = "ABM_MEMORY_LIMIT_MB";

// The limit the environment sets, in MiB: decimal digits alone, nothing
// around them; 0 when it sets none.
int64_t environmentLimitMiB(const char* text)
{
    if (!text)
        return 0;
    int64_t mib = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, mib);
    if (error == std::errc() && stop == end && mib > 0 && mib <= kLargestLimitMiB)
        return mib;
    return 0;
}

}  // namespace

std::string MemoryBudget::environmentProblem()
{
    const char* text = std::getenv(kLimitVariable);
    if (!text || !*text || environmentLimitMiB(text) > 0)
        return {};
    return std::string(kLimitVariable) + ": '" + text + "' is not a number of MiB from 1 to " +
           groupedNumber(kLargestLimitMiB);
}

int64_t MemoryBudget::defaultLimit()
{
    if (const int64_t mib = environmentLimitMiB(std::getenv(kLimitVariable)))
        return mib * kMiB;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kDefaultLimit;
    return std::min(kDefaultLimit, static_cast<int64_t>(pages) * pageSize / 4);
}

int64_t MemoryBudget::limit()
{
    return limitCell().load(std::memory_order_relaxed);
}

void MemoryBudget::setLimit(int64_t bytes)
{
    limitCell().store(std::max<int64_t>(0, bytes), std::memory_order_relaxed);
}

int64_t MemoryBudget::used()
{
    return gUsed.load(std::memory_order_relaxed);
}

int64_t MemoryBudget::available()
{
    return std::max<int64_t>(0, limit() - used());
}

int64_t MemoryBudget::peak()
{
    return gPeak.load(std::memory_order_relaxed);
}

void MemoryBudget::resetPeak()
{
    gPeak.store(used(), std::memory_order_relaxed);
}

void MemoryBudget::require(int64_t bytes)
{
    const int64_t cap = limit(), held = used();
    if (bytes > 0 && bytes > cap - held && !reclaimFor(bytes, cap))
        throw MemoryLimitExceeded(held + bytes, cap);
}

void MemoryBudget::setReclaimer(MemoryReclaimer* reclaimer)
{
    gReclaimer.store(reclaimer);
}

MemoryReclaimer* MemoryBudget::reclaimer()
{
    return gReclaimer.load();
}

MemoryReservation::MemoryReservation(int64_t bytes)
{
    take(bytes);
    bytes_ = std::max<int64_t>(0, bytes);
}

MemoryReservation::~MemoryReservation()
{
    give(bytes_);
}

MemoryReservation::MemoryReservation(MemoryReservation&& other) noexcept : bytes_(other.bytes_)
{
    other.bytes_ = 0;
}

MemoryReservation& MemoryReservation::operator=(MemoryReservation&& other) noexcept
{
    if (this != &other) {
        give(bytes_);
        bytes_ = other.bytes_;
        other.bytes_ = 0;
    }
    return *this;
}

void MemoryReservation::resize(int64_t bytes)
{
    bytes = std::max<int64_t>(0, bytes);
    if (bytes > bytes_)
        take(bytes - bytes_);
    else
        give(bytes_ - bytes);
    bytes_ = bytes;
}

void MemoryReservation::release()
{
    give(bytes_);
    bytes_ = 0;
}

}  // namespace abm
