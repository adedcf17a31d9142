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

inline uint64_t loadLe64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

inline void copy16(uint8_t* dst, const uint8_t* src)
{
    uint8_t chunk[16];
    std::memcpy(chunk, src, sizeof chunk);
    std::memcpy(dst, chunk, sizeof chunk);
}

// A stretch of adjacent pixels still to be written: a row, or with no
// interlacing the whole picture. left == 0: the picture is full.
struct Run {
    uint8_t* dst;
    size_t left;
};

// The rows in their GIF order: the four interlace passes, or straight down.
// Rows lie `step` bytes apart (negative for a raster stored bottom-up); rows
// exactly `width` apart make the whole picture one run. A pixel's position
// counts the pixels written before it.
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
        int rows = 0;
        for (int pass = 0; pass < 4; ++pass) {
            passStart_[pass] = rows;
            if (kStart[pass] < height)
                rows += (height - 1 - kStart[pass]) / kStep[pass] + 1;
        }
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

    // Copies a string of n pixels lying in one row written before, across
    // row ends. Its last pixel is read once the others are written: for a
    // code equal to next it is the first of them.
    [[gnu::noinline]] Run copyString(Run run, const uint8_t* src, size_t n)
    {
        run = copyAcross(run, src, n - 1);
        if (run.left == 0) {
            endedOnString = false;
            return run;
        }
        return copyAcross(run, src + n - 1, 1);
    }

    // Copies the n pixels written from `position` on to `out`, row by row.
    [[gnu::noinline]] void gather(uint8_t* out, size_t position, size_t n) const
    {
        if (oneRun_) {
            std::memcpy(out, top_ + position, n);
            return;
        }
        // Positions stay below 2^31, where 32-bit division is faster.
        size_t row = static_cast<uint32_t>(position) / static_cast<uint32_t>(width_);
        size_t x = position - row * width_;
        while (n > 0) {
            const size_t k = std::min(n, width_ - x);
            std::memcpy(out, rowAt(row) + x, k);
            out += k;
            n -= k;
            x = 0;
            ++row;
        }
    }

    // Gives every pixel from `run` on the fill value.
    void fillRest(Run run, uint8_t fill)
    {
        while (run.left > 0) {
            std::memset(run.dst, fill, run.left);
            run = nextRow();
        }
    }

    size_t Position(Run run) const
    {
        if (oneRun_)
            return static_cast<size_t>(run.dst - top_);
        return rowsDone_ * width_ + (width_ - run.left);
    }

    bool endedOnString = false;  // the last string filled the last pixel exactly

private:
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};

    Run nextRow()
    {
        if (oneRun_)
            return Run{nullptr, 0};
        ++rowsDone_;
        y_ += interlaced_ ? kStep[pass_] : 1;
        while (y_ >= height_) {
            if (!interlaced_ || ++pass_ == 4)
                return Run{nullptr, 0};
            y_ = kStart[pass_];
        }
        return Run{top_ + static_cast<ptrdiff_t>(y_) * step_, width_};
    }

    // The row written as the n-th (from 0).
    const uint8_t* rowAt(size_t n) const
    {
        int y = static_cast<int>(n);
        if (interlaced_) {
            int pass = 3;
            while (y < passStart_[pass])
                --pass;
            y = kStart[pass] + (y - passStart_[pass]) * kStep[pass];
        }
        return top_ + static_cast<ptrdiff_t>(y) * step_;
    }

    uint8_t* top_;
    ptrdiff_t step_;
    size_t width_;
    int height_;
    bool interlaced_;
    bool oneRun_;
    int passStart_[4] = {};  // rows written before each pass
    int pass_ = 0;
    int y_ = 0;
    size_t rowsDone_ = 0;
};

}  // namespace

LzwDecoder::LzwDecoder()
{
    std::fill(std::begin(entries_), std::end(entries_), Entry{kNoPlace, 0, 0});
    std::memset(suffix_, 0, sizeof suffix_);
    std::memset(string_, 0, sizeof string_);
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
    const uint64_t word = loadLe64(codes_.data() + (bitPos >> 3));
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

    // Rows that overlap, or more memory than places can tell, leave every
    // place unknown: each string is then rebuilt from the table, slowly.
    const size_t rowBytes = static_cast<size_t>(step < 0 ? -step : step);
    uint8_t* const base = step < 0 ? firstRow + static_cast<ptrdiff_t>(height - 1) * step : firstRow;
    const uint64_t span = uint64_t{rowBytes} * static_cast<uint64_t>(height - 1) + static_cast<uint64_t>(width);
    const bool placesKept = (height == 1 || rowBytes >= static_cast<size_t>(width)) && span < kAcrossRows;
    // A chunked copy reads up to 15 bytes past its string: only strings
    // ending this far before the end of the memory are copied in chunks, and
    // none without places (the no-place mark must never pass for one).
    const int64_t readLimit = placesKept ? static_cast<int64_t>(span) - kPadding : -1;

    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    // A literal's place is known once it is first written; entries from the
    // clear code up are made by the codes.
    for (int i = 0; i < clear; ++i) {
        entries_[i] = Entry{kNoPlace, 1, 0};
        suffix_[i] = static_cast<uint8_t>(i);
    }
    entries_[clear] = entries_[endCode] = Entry{kNoPlace, 0, 0};
    suffix_[clear] = suffix_[endCode] = 0;
    blockEndRead_ = false;

    const uint8_t* const codes = codes_.data();
    const uint64_t fastEnd = totalBits_ > 12 ? totalBits_ - 12 : 0;
    uint64_t bitPos = 0;
    RowOrder rows(firstRow, step, width, height, interlaced);
    Run run = rows.first();
    uint8_t* const stringTop = string_ + kMaxCodes;
    unsigned codeSize = static_cast<unsigned>(minCodeSize) + 1;
    int limit = 2 * clear, next = clear + 2;
    // entries_[next] always holds the entry the next code adds (prefix,
    // length and place), all but its suffix: the first pixel of that code's
    // string. inRow: its place is in one row, which also holds the first
    // pixel of the previous string; else that pixel is kept apart.
    bool inRow = false;
    uint8_t previousFirst = 0;
    bool full = false;

// Kept a macro so that the decoder's state never has its address taken and
// stays in registers.
#define ABM_GIF_READ_CODE(code)                                                                                        \
    do {                                                                                                               \
        if (bitPos < fastEnd) [[likely]] {                                                                             \
            const uint64_t word_ = loadLe64(codes + (bitPos >> 3));                                                    \
            code = static_cast<int>((word_ >> (bitPos & 7)) & ((1u << codeSize) - 1));                                 \
            bitPos += codeSize;                                                                                        \
        } else {                                                                                                       \
            const SlowCode slow_ = readCodeSlow(bitPos, codeSize);                                                     \
            code = slow_.code;                                                                                         \
            bitPos = slow_.bitPos;                                                                                     \
        }                                                                                                              \
    } while (false)

// Adds the entry held ahead, with its suffix, while the table has room; the
// code size grows when next reaches the limit.
#define ABM_GIF_ADD_ENTRY(suffix)                                                                                      \
    do {                                                                                                               \
        if (next + 1 < limit) [[likely]] {                                                                             \
            suffix_[next++] = (suffix);                                                                                \
        } else if (next < kMaxCodes) {                                                                                 \
            suffix_[next++] = (suffix);                                                                                \
            if (next >= limit && limit < kMaxCodes) {                                                                  \
                limit <<= 1;                                                                                           \
                ++codeSize;                                                                                            \
            }                                                                                                          \
        }                                                                                                              \
    } while (false)

    // The first code asked for counts as a clear code: the table is as a
    // clear leaves it.
    int code = clear;
    for (;;) {
        if (code <= next) {
            // A string lying in one row written before is copied from there.
            const Entry entry = entries_[code];
            const size_t length = entry.length;
            uint8_t* const dst = run.dst;
            const bool inOneRow = entry.at < kAcrossRows;
            const uint8_t* const src = base + (inOneRow ? entry.at : 0);
            // In 16-byte chunks, reading and writing up to 15 bytes past the
            // string, while that stays inside the row and the memory.
            const bool inChunks =
                static_cast<int64_t>(entry.at) + static_cast<int64_t>(length) <= readLimit && length + 15 <= run.left;
            if (inChunks || (inOneRow && length < run.left)) [[likely]] {
                if (inChunks) [[likely]] {
                    copy16(dst, src);
                    size_t i = 16;
                    for (; i + 17 < length; i += 32) {
                        copy16(dst + i, src + i);
                        copy16(dst + i + 16, src + i + 16);
                    }
                    if (i + 1 < length)
                        copy16(dst + i, src + i);
                } else if (length > 16) {
                    std::memcpy(dst, src, length - 1);
                } else {
                    for (size_t i = 0; i + 1 < length; ++i)
                        dst[i] = src[i];
                }
                // A code equal to next repeats the previous string, which
                // ends right where this one starts, plus its first pixel: the
                // copy above read that pixel before it was written. Copying
                // the last pixel again fixes it and is harmless for other
                // codes.
                dst[length - 1] = src[length - 1];
                const uint32_t here = static_cast<uint32_t>(dst - base);
                ABM_GIF_ADD_ENTRY(dst[0]);
                entries_[next] = Entry{here, static_cast<uint16_t>(length + 1), static_cast<uint16_t>(code)};
                inRow = true;
                run.dst += length;
                run.left -= length;
                ABM_GIF_READ_CODE(code);
                continue;
            }
            if (inOneRow) {
                // Up to the row end and on in the next rows: the entry the
                // next code adds is placed across rows.
                const uint32_t across = kAcrossRows + static_cast<uint32_t>(rows.Position(run));
                run = rows.copyString(run, src, length);
                if (run.left == 0) {
                    full = true;
                    break;
                }
                ABM_GIF_ADD_ENTRY(dst[0]);
                entries_[next] = Entry{across, static_cast<uint16_t>(length + 1), static_cast<uint16_t>(code)};
                inRow = false;
                previousFirst = dst[0];
                ABM_GIF_READ_CODE(code);
                continue;
            }
        }

        // Every other code: clear, end, codes past next, strings placed
        // across rows and strings with no place.
        if (code == kEndOfData || code == endCode)
            break;
        // The string is a head lying in one row of the output (or none),
        // then the pixels gathered here.
        uint8_t* sp = stringTop;
        const uint8_t* head = nullptr;
        size_t headLength = 0;
        if (code == clear) {
            while (code == clear) {
                codeSize = static_cast<unsigned>(minCodeSize) + 1;
                limit = 2 * clear;
                next = clear + 2;
                ABM_GIF_READ_CODE(code);
            }
            if (code == kEndOfData || code == endCode)
                break;
            // The first code after a clear is a pixel, whatever its value,
            // and adds no entry.
            *--sp = static_cast<uint8_t>(code);
        } else {
            // From the table, last pixel first, up to an entry with a place.
            const Entry ahead = entries_[next];
            int k = code;
            if (k >= next) {
                // Taken as next: the previous string plus its first pixel.
                *--sp = inRow ? base[ahead.at] : previousFirst;
                k = ahead.prefix;
            }
            // No chain through distinct entries is longer than the table.
            int steps = kMaxCodes - clear - 2;
            while (k >= clear) {
                if (k >= next || k <= endCode) {
                    // An entry not made yet: a 0 and then literal 0.
                    *--sp = 0;
                    k = 0;
                    break;
                }
                const Entry& e = entries_[k];
                if (e.at < kAcrossRows) {
                    head = base + e.at;
                    headLength = e.length;
                    break;
                }
                if (e.at != kNoPlace) {
                    sp -= e.length;
                    rows.gather(sp, e.at - kAcrossRows, e.length);
                    break;
                }
                if (--steps < 0) {
                    rows.fillRest(run, fill);
                    throw InvalidGraphicError(ErrorKind::GifCircularEntry);
                }
                *--sp = suffix_[k];
                k = e.prefix;
            }
            if (k < clear)
                *--sp = static_cast<uint8_t>(k);
            ABM_GIF_ADD_ENTRY(headLength > 0 ? head[0] : *sp);
        }

        // The head is earlier output, apart from where it goes.
        const size_t tailLength = static_cast<size_t>(stringTop - sp);
        const size_t length = headLength + tailLength;
        uint8_t* const start = run.dst;
        const size_t startPosition = rows.Position(run);
        const uint8_t first = headLength > 0 ? head[0] : *sp;
        const bool inOneRow = length <= run.left;
        const bool rowGoesOn = length < run.left;
        if (rowGoesOn) {
            if (headLength > 0)
                std::memcpy(run.dst, head, headLength);
            std::memcpy(run.dst + headLength, sp, tailLength);
            run.dst += length;
            run.left -= length;
        } else {
            if (headLength > 0) {
                run = rows.copyAcross(run, head, headLength);
                if (run.left == 0)
                    rows.endedOnString = rows.endedOnString && tailLength == 0;
            }
            if (run.left > 0 && tailLength > 0)
                run = rows.copyAcross(run, sp, tailLength);
            if (run.left == 0) {
                full = true;
                break;
            }
        }
        // A string that entries made later cannot change gets its place (a
        // place in one row is kept over one across rows); so does the entry
        // the next code adds.
        const bool fixed = code < next && entries_[code].length > 0;
        const bool placed = fixed && placesKept;
        const uint32_t here = static_cast<uint32_t>(start - base);
        const uint32_t across = kAcrossRows + static_cast<uint32_t>(startPosition);
        if (placed && (inOneRow || entries_[code].at >= kAcrossRows))
            entries_[code].at = inOneRow ? here : across;
        inRow = placed && rowGoesOn;
        entries_[next] = Entry{!placed     ? kNoPlace
                               : rowGoesOn ? here
                                           : across,
                               static_cast<uint16_t>(fixed ? length + 1 : 0), static_cast<uint16_t>(code)};
        previousFirst = first;
        ABM_GIF_READ_CODE(code);
    }
#undef ABM_GIF_READ_CODE
#undef ABM_GIF_ADD_ENTRY

    if (full) {
        // One more code is asked for once the last string is used up (on
        // well-formed data, the end code); only the reader's end-of-data
        // warnings make that visible.
        if (rows.endedOnString && bitPos >= fastEnd)
            readCodeSlow(bitPos, codeSize);
        return static_cast<size_t>(width) * static_cast<size_t>(height);
    }
    const size_t written = rows.Position(run);
    rows.fillRest(run, fill);
    return written;
}

}  // namespace abm
