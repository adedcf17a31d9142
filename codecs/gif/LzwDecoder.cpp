#include "LzwDecoder.h"

#include "GifWarnings.h"
#include "base/Error.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace abm {

namespace {

// Past every code: lets one comparison with the clear code catch it too.
constexpr int kEndOfData = 0x10000;

inline uint64_t LoadLe64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

inline void storeLe64(uint8_t* p, uint64_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    std::memcpy(p, &v, sizeof v);
}

// A stretch of adjacent pixels still to be written: a row, or with no
// interlacing the whole picture. left == 0: the picture is full.
struct Run {
    uint8_t* dst;
    size_t left;
};

// The rows in their GIF order: the four interlace passes, or straight down.
// Rows lie `step` bytes apart (negative for a raster stored bottom-up); rows
// exactly `width` apart make the whole picture one run.
// Passed and returned by value so the decoder keeps its run in registers.
class RowOrder {
public:
    RowOrder(uint8_t* top, ptrdiff_t step, int width, int height, bool interlaced)
        : top_(top),
          step_(step),
          width_(static_cast<size_t>(width)),
          height_(height),
          interlaced_(interlaced),
          oneRun_(!interlaced && step == static_cast<ptrdiff_t>(width))
    {
    }

    Run first() const { return Run{top_, oneRun_ ? width_ * static_cast<size_t>(height_) : width_}; }

    // Copies n pixels that reach the end of the run, continuing in the
    // next runs; returns the run after them.
    [[gnu::noinline]] Run copyAcross(Run run, const uint8_t* s, size_t n)
    {
        while (n >= run.left) {
            std::memcpy(run.dst, s, run.left);
            s += run.left;
            n -= run.left;
            run = nextRow();
            if (run.left == 0) {
                endedOnString = n == 0;
                return run;
            }
        }
        std::memcpy(run.dst, s, n);
        return Run{run.dst + n, run.left - n};
    }

    size_t written(Run run) const
    {
        if (oneRun_)
            return static_cast<size_t>(run.dst - top_);
        return rowsDone_ * width_ + (width_ - run.left);
    }

    bool endedOnString = false;  // the last string filled the last pixel exactly

private:
    Run nextRow()
    {
        if (oneRun_)
            return Run{nullptr, 0};
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        ++rowsDone_;
        y_ += interlaced_ ? kStep[pass_] : 1;
        while (y_ >= height_) {
            if (!interlaced_ || ++pass_ == 4)
                return Run{nullptr, 0};
            y_ = kStart[pass_];
        }
        return Run{top_ + static_cast<ptrdiff_t>(y_) * step_, width_};
    }

    uint8_t* top_;
    ptrdiff_t step_;
    size_t width_;
    int height_;
    bool interlaced_;
    bool oneRun_;
    int pass_ = 0;
    int y_ = 0;
    size_t rowsDone_ = 0;
};

}  // namespace

LzwDecoder::LzwDecoder()
{
    std::memset(prefix_, 0, sizeof prefix_);
    std::memset(suffix_, 0, sizeof suffix_);
    std::memset(stack_, 0, sizeof stack_);
}

void LzwDecoder::hold(size_t bytes)
{
    // The code bytes are a second copy of a part of the file: counted
    // against the memory budget before they are gathered.
    bytes += kPadding;
    if (bytes <= codes_.capacity())
        return;
    held_.resize(static_cast<int64_t>(bytes));
    codes_.reserve(bytes);
}

size_t LzwDecoder::takeSubBlocks(const uint8_t* data, size_t size, size_t position)
{
    size_t total = 0;
    for (size_t at = position; at < size && data[at] != 0; at += size_t{1} + data[at])
        total += std::min<size_t>(data[at], size - at - 1);
    hold(total);
    codes_.clear();
    terminated_ = false;
    while (position < size) {
        const size_t length = data[position++];
        if (length == 0) {
            terminated_ = true;
            break;
        }
        const size_t n = std::min(length, size - position);
        if (n < length)
            warning(kGIFPrematureEnd);
        codes_.insert(codes_.end(), data + position, data + position + n);
        position += n;
    }
    totalBits_ = static_cast<uint64_t>(codes_.size()) * 8;
    codes_.resize(codes_.size() + kPadding, 0);
    return position;
}

void LzwDecoder::takeRaw(const uint8_t* codes, size_t size)
{
    hold(size);
    codes_.assign(codes, codes + size);
    terminated_ = true;
    totalBits_ = static_cast<uint64_t>(size) * 8;
    codes_.resize(codes_.size() + kPadding, 0);
}

void LzwDecoder::warning(const char* message) const
{
    if (onWarning)
        onWarning(message);
}

// The reader's rule near the end of the data: with `size` or fewer unread
// bits, the next block is read. Past the last block comes either the
// zero-length block, after which the bits held still give one code (missing
// bits read as 0), or the end of the file, which ends the data at once.
LzwDecoder::SlowCode LzwDecoder::readCodeSlow(uint64_t bitPos, unsigned size)
{
    const int64_t unread = static_cast<int64_t>(totalBits_) - static_cast<int64_t>(bitPos);
    if (unread <= static_cast<int64_t>(size)) {
        if (!terminated_)
            return {kEndOfData, bitPos};
        if (blockEndRead_ || unread <= 0) {
            // No bits at all give no code, rather than a code of zeros.
            blockEndRead_ = true;
            if (unread <= 0)
                warning(kGIFUnderrun);
            return {kEndOfData, bitPos};
        }
        blockEndRead_ = true;
    }
    const uint64_t word = LoadLe64(codes_.data() + (bitPos >> 3));
    return {static_cast<int>((word >> (bitPos & 7)) & ((1u << size) - 1)), bitPos + size};
}

size_t LzwDecoder::decode(int minCodeSize, uint8_t* pixels, int width, int height, bool interlaced, uint8_t fill)
{
    return decode(minCodeSize, pixels, width, width, height, interlaced, fill);
}

size_t LzwDecoder::decode(int minCodeSize, uint8_t* firstRow, ptrdiff_t step, int width, int height, bool interlaced,
                          uint8_t fill)
{
    if (minCodeSize < 0 || minCodeSize > kMaxMinCodeSize)
        throw InvalidGraphicError(ErrorKind::GifBadCodeSize);
    if (width <= 0 || height <= 0)
        return 0;
    for (int y = 0; y < height; ++y)
        std::memset(firstRow + static_cast<ptrdiff_t>(y) * step, fill, static_cast<size_t>(width));

    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    // Literal entries stay as set here: table writes start at clear + 2.
    for (int i = 0; i < clear; ++i) {
        prefix_[i] = 0;
        suffix_[i] = static_cast<uint8_t>(i);
    }
    if (dirtyEnd_ > clear) {
        std::memset(prefix_ + clear, 0, sizeof(prefix_[0]) * static_cast<size_t>(dirtyEnd_ - clear));
        std::memset(suffix_ + clear, 0, static_cast<size_t>(dirtyEnd_ - clear));
    }
    dirtyEnd_ = clear;
    blockEndRead_ = false;

    const uint8_t* const codes = codes_.data();
    const uint64_t fastEnd = totalBits_ > 12 ? totalBits_ - 12 : 0;
    uint64_t bitPos = 0;
    RowOrder rows(firstRow, step, width, height, interlaced);
    Run run = rows.first();
    uint8_t* const top = stack_ + kStackSize;
    // A chain longer than the table has distinct entries must loop.
    uint8_t* const stackFloor = stack_ + 2;
    unsigned codeSize = static_cast<unsigned>(minCodeSize) + 1;
    int limit = 2 * clear, next = clear + 2, previous = 0;
    uint8_t first = 0;
    bool full = false;

// Kept a macro so that the decoder's state never has its address taken and
// stays in registers.
#define ABM_GIF_READ_CODE(code)                                                                                        \
    do {                                                                                                               \
        if (bitPos < fastEnd) [[likely]] {                                                                             \
            const uint64_t word_ = LoadLe64(codes + (bitPos >> 3));                                                    \
            code = static_cast<int>((word_ >> (bitPos & 7)) & ((1u << codeSize) - 1));                                 \
            bitPos += codeSize;                                                                                        \
        } else {                                                                                                       \
            const SlowCode slow_ = readCodeSlow(bitPos, codeSize);                                                     \
            code = slow_.code;                                                                                         \
            bitPos = slow_.bitPos;                                                                                     \
        }                                                                                                              \
    } while (false)

    // The first code asked for counts as a clear code: the table is as a
    // clear leaves it.
    int code;
    ABM_GIF_READ_CODE(code);
    for (;;) {
        // After a clear: the first code that is not clear is a literal pixel.
        while (code == clear) {
            if (next > clear + 2) {
                std::memset(prefix_ + clear, 0, sizeof(prefix_[0]) * static_cast<size_t>(next - clear));
                std::memset(suffix_ + clear, 0, static_cast<size_t>(next - clear));
            }
            codeSize = static_cast<unsigned>(minCodeSize) + 1;
            limit = 2 * clear;
            next = clear + 2;
            ABM_GIF_READ_CODE(code);
        }
        if (code == kEndOfData || code == endCode)
            break;
        previous = code;
        first = static_cast<uint8_t>(code);
        if (run.left > 1) {
            *run.dst++ = first;
            --run.left;
        } else {
            const uint8_t pixel = first;
            run = rows.copyAcross(run, &pixel, 1);
            if (run.left == 0) {
                full = true;
                break;
            }
        }

        for (;;) {
            ABM_GIF_READ_CODE(code);
            // The chain gives a string from its last pixel back to its first.
            // Up to 8 pixels are gathered in a word that goes out in one
            // store: reading back bytes just pushed one by one would stall.
            uint64_t word;
            unsigned length;
            uint8_t* sp = top;
            if (code < clear) {
                first = static_cast<uint8_t>(code);
                word = first;
                length = 1;
            } else {
                if (code <= endCode || code == kEndOfData)
                    break;
                word = 0;
                length = 0;
                int k = code;
                if (k >= next) {
                    word = first;
                    length = 1;
                    k = previous;
                }
                while (k >= clear && length < 8) {
                    word = (word << 8) | suffix_[k];
                    k = prefix_[k];
                    ++length;
                }
                if (k < clear && length < 8) {
                    first = suffix_[k];
                    word = (word << 8) | first;
                    ++length;
                } else {
                    // Longer strings continue on the byte stack below their last 8 pixels.
                    sp -= 8;
                    storeLe64(sp, word);
                    while (k >= clear) {
                        if (sp <= stackFloor) [[unlikely]] {
                            dirtyEnd_ = next;
                            throw InvalidGraphicError(ErrorKind::GifCircularEntry);
                        }
                        *--sp = suffix_[k];
                        k = prefix_[k];
                    }
                    first = suffix_[k];
                    *--sp = first;
                    length = 0;
                }
            }
            if (next < kMaxCodes) {
                prefix_[next] = static_cast<uint16_t>(previous);
                suffix_[next] = first;
                ++next;
                if (next >= limit && limit < kMaxCodes) {
                    limit <<= 1;
                    ++codeSize;
                }
            }
            previous = code;

            if (length > 0) {
                if (run.left > 8) [[likely]] {
                    storeLe64(run.dst, word);
                    run.dst += length;
                    run.left -= length;
                    continue;
                }
                uint8_t bytes[8];
                storeLe64(bytes, word);
                if (length < run.left) {
                    std::memcpy(run.dst, bytes, length);
                    run.dst += length;
                    run.left -= length;
                    continue;
                }
                run = rows.copyAcross(run, bytes, length);
            } else {
                const size_t n = static_cast<size_t>(top - sp);
                if (n < run.left) {
                    // The bytes copied past the string are overwritten by the
                    // next ones, or refilled below.
                    if (n <= 16 && run.left > 16)
                        std::memcpy(run.dst, sp, 16);
                    else
                        std::memcpy(run.dst, sp, n);
                    run.dst += n;
                    run.left -= n;
                    continue;
                }
                run = rows.copyAcross(run, sp, n);
            }
            if (run.left == 0) {
                full = true;
                break;
            }
        }
        if (full || code != clear)
            break;
    }
#undef ABM_GIF_READ_CODE
    dirtyEnd_ = std::max(next, clear);

    if (full) {
        // One more code is asked for once the last string is used up (on
        // well-formed data, the end code); only the reader's end-of-data
        // warnings make that visible.
        if (rows.endedOnString && bitPos >= fastEnd)
            readCodeSlow(bitPos, codeSize);
        return static_cast<size_t>(width) * static_cast<size_t>(height);
    }
    // Put the fill value back where a fixed-size copy reached past the data.
    if (run.left > 0)
        std::memset(run.dst, fill, std::min<size_t>(run.left, 16));
    return rows.written(run);
}

}  // namespace abm
