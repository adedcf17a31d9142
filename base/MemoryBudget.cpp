#include "MemoryBudget.h"

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

std::atomic<int64_t>& LimitCell()
{
    static std::atomic<int64_t> limit{MemoryBudget::DefaultLimit()};
    return limit;
}

std::atomic<int64_t> gUsed{0};
std::atomic<int64_t> gPeak{0};

void RaisePeak(int64_t used)
{
    int64_t peak = gPeak.load(std::memory_order_relaxed);
    while (used > peak && !gPeak.compare_exchange_weak(peak, used, std::memory_order_relaxed)) {
    }
}

// Adds `bytes` to the count unless that would pass the limit.
void Take(int64_t bytes)
{
    if (bytes <= 0)
        return;
    const int64_t limit = MemoryBudget::Limit();
    int64_t used = gUsed.load(std::memory_order_relaxed);
    do {
        if (bytes > limit - used)
            throw MemoryLimitExceeded(used + bytes, limit);
    } while (!gUsed.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
    RaisePeak(used + bytes);
}

void Give(int64_t bytes)
{
    if (bytes > 0)
        gUsed.fetch_sub(bytes, std::memory_order_relaxed);
}

std::string Grouped(int64_t value)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace

std::string MebibyteText(int64_t bytes)
{
    return Grouped(bytes <= 0 ? 0 : (bytes - 1) / kMiB + 1) + " MiB";
}

int64_t MemoryBudget::DefaultLimit()
{
    if (const char* text = std::getenv("ABM_MEMORY_LIMIT_MB")) {
        int64_t mib = 0;
        const char* end = text + std::strlen(text);
        const auto [stop, error] = std::from_chars(text, end, mib);
        if (error == std::errc() && stop == end && mib > 0 && mib <= kLargestLimitMiB)
            return mib * kMiB;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return kDefaultLimit;
    return std::min(kDefaultLimit, static_cast<int64_t>(pages) * pageSize / 4);
}

int64_t MemoryBudget::Limit()
{
    return LimitCell().load(std::memory_order_relaxed);
}

void MemoryBudget::SetLimit(int64_t bytes)
{
    LimitCell().store(std::max<int64_t>(0, bytes), std::memory_order_relaxed);
}

int64_t MemoryBudget::Used()
{
    return gUsed.load(std::memory_order_relaxed);
}

int64_t MemoryBudget::Available()
{
    return std::max<int64_t>(0, Limit() - Used());
}

int64_t MemoryBudget::Peak()
{
    return gPeak.load(std::memory_order_relaxed);
}

void MemoryBudget::ResetPeak()
{
    gPeak.store(Used(), std::memory_order_relaxed);
}

void MemoryBudget::Require(int64_t bytes)
{
    const int64_t limit = Limit(), used = Used();
    if (bytes > 0 && bytes > limit - used)
        throw MemoryLimitExceeded(used + bytes, limit);
}

MemoryReservation::MemoryReservation(int64_t bytes)
{
    Take(bytes);
    bytes_ = std::max<int64_t>(0, bytes);
}

MemoryReservation::~MemoryReservation()
{
    Give(bytes_);
}

MemoryReservation::MemoryReservation(MemoryReservation&& other) noexcept : bytes_(other.bytes_)
{
    other.bytes_ = 0;
}

MemoryReservation& MemoryReservation::operator=(MemoryReservation&& other) noexcept
{
    if (this != &other) {
        Give(bytes_);
        bytes_ = other.bytes_;
        other.bytes_ = 0;
    }
    return *this;
}

void MemoryReservation::Resize(int64_t bytes)
{
    bytes = std::max<int64_t>(0, bytes);
    if (bytes > bytes_)
        Take(bytes - bytes_);
    else
        Give(bytes_ - bytes);
    bytes_ = bytes;
}

void MemoryReservation::Release()
{
    Give(bytes_);
    bytes_ = 0;
}

}  // namespace abm
