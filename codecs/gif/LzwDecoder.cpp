#include "LzwDecoder.h"

#include "GifWarnings.h"
#include "LzwRows.h"
#include "base/Error.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace abm {

namespace {

using gif_rows::copy16;
using gif_rows::loadLe64;
using gif_rows::RowOrder;
using gif_rows::Run;

// Past every code: lets one comparison with the clear code catch it too.
constexpr int kEndOfData = 0x10000;

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
